// Builds buildings of both shipped styles at several sizes as .glb, flat and in both instanced
// forms, some with the engine extras (levels of detail, collision hulls, door markers, pivots), and
// checks each with two consumers (and a building and a city as .gltf with the validator): the
// Khronos glTF validator must report no error and no warning, and three.js's GLTFLoader must load
// it with the triangles that three.js's OBJLoader reads from the OBJ output of the same request
// (the finest level of detail of each building, its lower levels reached only through MSFT_lod),
// none of them of zero area, every material with its colour and normal maps, each image embedded
// once and every textured primitive with its texture coordinates and tangents. Instanced files in
// metres carry no scale on their nodes; piece nodes are named; a city's building nodes carry
// their rows' translations.
//
//   node check.mjs path/to/towerkit path/to/units
//
// Exit status 0 when every check passes, 1 when one fails, 77 when the node packages are not
// installed (scripts/install-deps installs them).

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

// three.js loads a glTF's images as a browser would: node has no window and decodes no image, so
// each image becomes a bitmap of the size its PNG header gives, without its pixels.
globalThis.self = globalThis;
globalThis.createImageBitmap = async (blob) => {
  const header = new DataView(await blob.arrayBuffer());
  return { width: header.getUint32(16), height: header.getUint32(20), close() {} };
};

let validator, GLTFLoader, OBJLoader, THREE;
try {
  validator = (await import('gltf-validator')).default;
  ({ GLTFLoader } = await import('three/addons/loaders/GLTFLoader.js'));
  ({ OBJLoader } = await import('three/addons/loaders/OBJLoader.js'));
  THREE = await import('three');
} catch (error) {
  console.log(`skipped: the node packages are not installed (npm ci in ${path.dirname(process.argv[1])}): ${error.message}`);
  process.exit(77);
}

const [tool, units] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'towerkit-gltf-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

const requests = [
  ['-w', '0', '-l', '0', '-h', '0'],
  ['-w', '1', '-l', '1', '-h', '1', '-d', 'EL', '-b', 'SA'],
  ['-w', '3', '-l', '3', '-h', '3', '-d', 'NC', '-b', 'SC', '-c', 'EA'],
  ['-w', '6', '-l', '4', '-h', '5', '-d', 'WR', '-b', 'NE', '-b', 'EO', '-c', 'SC', '-m'],
  ['-w', '20', '-l', '12', '-h', '8', '-d', 'SC', '-b', 'NC', '-c', 'WE', '--seed', '3'],
  ['-w', '3', '-l', '2', '-h', '2', '-d', 'SC', '--roof', 'gable'],
  ['-w', '2', '-l', '2', '-h', '1', '--roof', 'hip', '-m'],
  ['-w', '4', '-l', '4', '-h', '5', '-d', 'SC', '-b', 'EO', '--setback', '2:NE', '--band', '0:S', '--roof', 'hip'],
  // Engine extras: levels of detail, collision hulls and door markers, about another pivot.
  ['-w', '3', '-l', '2', '-h', '3', '-d', 'SC', '--collision', '--lod', '3', '--markers', '--pivot', 'base-centre'],
  ['-w', '2', '-l', '2', '-h', '2', '-d', 'WL', '--roof', 'gable', '--collision', 'unreal', '--lod', '2', '--markers',
   '--pivot', 'corner', '-m'],
  ['-w', '0', '-l', '0', '-h', '0', '--lod', '1', '--collision'],
];
const forms = ['flat', 'nodes', 'gpu'];

function build(args, output) {
  execFileSync(tool, [...args, output], { env: { ...process.env, OSTREL_UNITS_PATH: units }, stdio: 'pipe' });
}

// The triangles three.js's OBJLoader reads from an OBJ file, but those of the lower levels of
// detail: a .glb reaches those only through MSFT_lod, which three.js does not read, so it draws
// the finest level alone.
function objTriangles(file) {
  const group = new OBJLoader().parse(fs.readFileSync(file, 'utf8'));
  let triangles = 0;
  group.traverse((object) => {
    if (object.isMesh && !/_LOD[1-9]\d*$/.test(object.name)) triangles += object.geometry.attributes.position.count / 3;
  });
  return triangles;
}

function loadThree(bytes) {
  const buffer = bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength);
  return new Promise((resolve, reject) => new GLTFLoader().parse(buffer, '', resolve, reject));
}

function threeTriangles(gltf) {
  let triangles = 0;
  gltf.scene.traverse((object) => {
    if (!object.isMesh) return;
    const geometry = object.geometry;
    const corners = geometry.index ? geometry.index.count : geometry.attributes.position.count;
    triangles += (corners / 3) * (object.isInstancedMesh ? object.count : 1);
  });
  return triangles;
}

// Triangles of no area (relative to the mesh's size) in the meshes of a loaded glTF.
function flatTriangles(gltf) {
  let flat = 0;
  const a = new THREE.Vector3(), b = new THREE.Vector3(), c = new THREE.Vector3();
  gltf.scene.traverse((object) => {
    if (!object.isMesh) return;
    const geometry = object.geometry;
    const position = geometry.attributes.position;
    geometry.computeBoundingBox();
    const size = geometry.boundingBox.getSize(new THREE.Vector3()).length();
    const corners = geometry.index ? geometry.index.count : position.count;
    const at = (i) => (geometry.index ? geometry.index.getX(i) : i);
    for (let i = 0; i < corners; i += 3) {
      a.fromBufferAttribute(position, at(i));
      b.fromBufferAttribute(position, at(i + 1));
      c.fromBufferAttribute(position, at(i + 2));
      const area = b.clone().sub(a).cross(c.clone().sub(a)).length() / 2;
      if (area <= 1e-9 * size * size) flat += object.isInstancedMesh ? object.count : 1;
    }
  });
  return flat;
}

// The JSON chunk of a .glb.
function glbJson(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const length = view.getUint32(12, true);
  return JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + length)));
}

// What the instanced forms promise of their nodes: no scale in metres (the meshes are in the
// output's units), and a name on every node.
function checkNodes(what, bytes, metres) {
  for (const [index, node] of (glbJson(bytes).nodes ?? []).entries()) {
    if (!node.name) fail(what, `node ${index} has no name`);
    if (metres && node.scale) fail(what, `node ${index} (${node.name}) has a scale ${node.scale}`);
  }
}

let failures = 0;
let checked = 0;
function fail(what, message) {
  console.log(`FAIL ${what}: ${message}`);
  failures += 1;
}

// The texture coordinates a texture needs: every primitive of a material with a map has
// TEXCOORD_0 (and TANGENT beside a normal map), no texture coordinates go unused (the validator
// tells those as information only), and each image file is embedded once, however many
// materials and buildings use it. A small file (small, from --texture-size) has no TANGENT, which
// readers make, and its texture coordinates, all in [0, 1] in the shipped kit, are normalised
// unsigned shorts.
function checkTextures(what, json, report, small = false) {
  const materials = json.materials ?? [];
  const texcoords = new Set();
  for (const mesh of json.meshes ?? []) {
    for (const primitive of mesh.primitives) {
      const attributes = primitive.attributes;
      if (attributes.TEXCOORD_0 !== undefined) texcoords.add(attributes.TEXCOORD_0);
      const material = materials[primitive.material];
      if (!material) continue;
      const mapped = material.pbrMetallicRoughness?.baseColorTexture || material.normalTexture;
      if (mapped && attributes.TEXCOORD_0 === undefined) fail(what, `a primitive of ${material.name} has no TEXCOORD_0`);
      if (!small && material.normalTexture && attributes.TANGENT === undefined) fail(what, `a primitive of ${material.name} has no TANGENT`);
      if (small && attributes.TANGENT !== undefined) fail(what, `a primitive of ${material.name} has a TANGENT in a small file`);
      const uvs = json.accessors[attributes.TEXCOORD_0];
      if (small && uvs && (uvs.componentType !== 5123 || uvs.normalized !== true))
        fail(what, `a primitive of ${material.name} has texture coordinates of type ${uvs.componentType}, not normalised shorts`);
    }
  }
  for (const message of report.issues.messages) {
    const accessor = /^\/accessors\/(\d+)$/.exec(message.pointer ?? '');
    if (message.code === 'UNUSED_OBJECT' && accessor && texcoords.has(Number(accessor[1])))
      fail(what, `validator: texture coordinates unused at ${message.pointer}`);
  }
  const names = (json.images ?? []).map((image) => image.name);
  if (new Set(names).size !== names.length) fail(what, `an image is embedded more than once: ${names.join(', ')}`);
}

// Fails unless the Khronos validator finds neither an error nor a warning; but for the one
// warning a small file (small) earns on purpose: the tangents of its normal-mapped primitives
// are left to the reader to make.
function checkReport(what, report, small) {
  const said = report.issues.messages
    .filter((message) => message.severity <= 1)
    .filter((message) => !(small && message.code === 'MESH_PRIMITIVE_GENERATED_TANGENT_SPACE'))
    .slice(0, 20)
    .map((message) => `${message.code} ${message.message} ${message.pointer ?? ''}`);
  if (said.length > 0) fail(what, `validator: ${said.join('; ')}`);
}

async function validate(what, bytes, small = false) {
  const report = await validator.validateBytes(bytes, { maxIssues: 0 });
  checkReport(what, report, small);
  checkTextures(what, glbJson(bytes), report, small);
}

// Every material three.js draws the shipped kit with has its colour map and normal map (glass
// included); only collision hulls, which have no material, go without.
function checkMaps(what, gltf) {
  const bare = new Set();
  gltf.scene.traverse((object) => {
    if (!object.isMesh) return;
    for (const material of Array.isArray(object.material) ? object.material : [object.material]) {
      if (material.name && (!material.map || !material.normalMap)) bare.add(material.name);
    }
  });
  if (bare.size > 0) fail(what, `three.js draws ${[...bare].join(', ')} without a map`);
}

for (const style of ['A', 'B']) {
  for (const request of requests) {
    const args = ['-s', style, ...request];
    const name = args.join(' ');
    const obj = path.join(work, 'building.obj');
    build(args, obj);
    const expected = objTriangles(obj);
    for (const form of forms) {
      const what = `${name} --instances ${form}`;
      const glb = path.join(work, `building-${form}.glb`);
      build(form === 'flat' ? args : [...args, '--instances', form], glb);
      const bytes = new Uint8Array(fs.readFileSync(glb));

      await validate(what, bytes);
      checkNodes(what, bytes, args.includes('-m'));
      try {
        const gltf = await loadThree(bytes);
        const triangles = threeTriangles(gltf);
        if (triangles !== expected) fail(what, `three.js shows ${triangles} triangles, the OBJ ${expected}`);
        const flat = flatTriangles(gltf);
        if (flat > 0) fail(what, `${flat} triangles of no area`);
        checkMaps(what, gltf);
      } catch (error) {
        fail(what, `three.js cannot load it: ${error.message ?? error}`);
      }
      checked += 1;
    }
  }
}
// Cities: several buildings, turned and moved, each a node of its own that carries its row's
// place; the example city of the README too.
const city = path.join(work, 'city.csv');
fs.writeFileSync(city, 'id,style,width,length,height,door,balcony,close,x,z,angle\n' +
  'one,A,3,2,3,SC,NC EA,,0,0,0\ntwo,B,2,4,5,NL,,WA,10,0,90\nthree,A,1,1,1,,,,0,10,45\n');
const example = path.join(path.dirname(units), 'examples', 'city.csv');
const extras = ['--collision', 'unreal', '--lod', '2', '--markers', '--pivot', 'base-centre'];
for (const [file, metres, more] of [[city, false, []], [example, false, []], [example, true, []], [example, true, extras]]) {
  const rows = fs.readFileSync(file, 'utf8').trim().split('\n').map((line) => line.split(','));
  const column = (name) => rows[0].indexOf(name);
  const cityObj = path.join(work, 'city.obj');
  const extra = [...(metres ? ['-m'] : []), ...more];
  build(['--city', file, ...extra], cityObj);
  const cityTriangles = objTriangles(cityObj);
  for (const form of forms) {
    const what = `--city ${path.basename(file)} ${extra.join(' ')} --instances ${form}`;
    const glb = path.join(work, `city-${form}.glb`);
    build(form === 'flat' ? ['--city', file, ...extra] : ['--city', file, ...extra, '--instances', form], glb);
    const bytes = new Uint8Array(fs.readFileSync(glb));
    await validate(what, bytes);
    checkNodes(what, bytes, metres);
    try {
      const gltf = await loadThree(bytes);
      const triangles = threeTriangles(gltf);
      if (triangles !== cityTriangles) fail(what, `three.js shows ${triangles} triangles, the OBJ ${cityTriangles}`);
      const flat = flatTriangles(gltf);
      if (flat > 0) fail(what, `${flat} triangles of no area`);
      checkMaps(what, gltf);
      const names = gltf.scene.children.map((node) => node.name).join(',');
      const ids = rows.slice(1).map((row) => row[column('id')]).join(',');
      if (names !== ids) fail(what, `three.js names the buildings ${names}`);
      for (const [i, node] of gltf.scene.children.entries()) {
        const row = rows[i + 1];
        const x = Number(row[column('x')] || 0), z = Number(row[column('z')] || 0);
        if (Math.abs(node.position.x - x) > 1e-4 || Math.abs(node.position.z - z) > 1e-4) {
          fail(what, `building ${node.name} stands at ${node.position.x} ${node.position.z}, its row at ${x} ${z}`);
        }
      }
    } catch (error) {
      fail(what, `three.js cannot load it: ${error.message ?? error}`);
    }
    checked += 1;
  }
}

// .gltf: the JSON text with its buffer in a .bin beside it, which the validator reads by its URI.
async function validateGltf(what, file) {
  const json = new Uint8Array(fs.readFileSync(file));
  const externalResourceFunction = (uri) =>
    Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), decodeURIComponent(uri)))));
  const report = await validator.validateBytes(json, { uri: path.basename(file), externalResourceFunction, maxIssues: 0 });
  if (report.issues.numErrors > 0 || report.issues.numWarnings > 0) {
    const said = report.issues.messages
      .filter((message) => message.severity <= 1)
      .map((message) => `${message.code} ${message.message} ${message.pointer ?? ''}`);
    fail(what, `validator: ${said.join('; ')}`);
  }
  if (!report.info) {
    fail(what, 'the validator gave no report of the resources');
    return;
  }
  if (report.info.resources.filter((resource) => resource.storage === 'external').length !== 1) {
    fail(what, 'the buffer is not the one external resource');
  }
  checkTextures(what, JSON.parse(fs.readFileSync(file, 'utf8')), report);
}

for (const form of forms) {
  const request = ['-s', 'A', ...requests[2], ...(form === 'flat' ? [] : ['--instances', form])];
  const gltf = path.join(work, `my building-${form}.gltf`);
  build(request, gltf);
  await validateGltf(`.gltf ${request.join(' ')}`, gltf);
  checked += 1;
  const cityGltf = path.join(work, `city-${form}.gltf`);
  build(form === 'flat' ? ['--city', city] : ['--city', city, '--instances', form], cityGltf);
  await validateGltf(`.gltf --city --instances ${form}`, cityGltf);
  checked += 1;
}

// Sheets beside the file (--textures external), made smaller: the validator reads each by its
// bare name and finds a PNG of the size asked. With none, no image and no texture coordinates,
// and the same triangles.
async function validateBeside(what, file, sheets, size) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  const externalResourceFunction = (uri) =>
    Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), decodeURIComponent(uri)))));
  const report = await validator.validateBytes(bytes, { uri: path.basename(file), externalResourceFunction, maxIssues: 0 });
  checkReport(what, report, true);
  const json = file.endsWith('.glb') ? glbJson(bytes) : JSON.parse(fs.readFileSync(file, 'utf8'));
  checkTextures(what, json, report, true);
  const images = (report.info?.resources ?? []).filter((resource) => resource.mimeType === 'image/png');
  const beside = images.filter((image) => image.storage === 'external' && image.uri && !image.uri.includes('/'));
  const sized = beside.filter((image) => image.image?.width === size && image.image?.height === size);
  if (images.length !== sheets || sized.length !== sheets) {
    fail(what, `${images.length} images, ${sized.length} of them beside it at ${size} x ${size}, not ${sheets}`);
  }
}

for (const form of forms) {
  const instances = form === 'flat' ? [] : ['--instances', form];
  const request = ['-s', 'B', '--band', '0:A', ...requests[2], ...instances];
  for (const extension of ['glb', 'gltf']) {
    const file = path.join(fs.mkdtempSync(path.join(work, 'sheets-')), `building.${extension}`);
    build([...request, '--textures', 'external', '--texture-size', '64'], file);
    await validateBeside(`.${extension} --textures external ${request.join(' ')}`, file, 4, 64);
    checked += 1;
  }
  const what = `--textures none ${request.join(' ')}`;
  const obj = path.join(work, 'bare.obj');
  build(request.filter((arg, i) => arg !== '--instances' && request[i - 1] !== '--instances'), obj);
  const glb = path.join(work, 'bare.glb');
  build([...request, '--textures', 'none'], glb);
  const bytes = new Uint8Array(fs.readFileSync(glb));
  await validate(what, bytes);
  const json = glbJson(bytes);
  if (json.images || json.textures || JSON.stringify(json.meshes).includes('TEXCOORD_0')) {
    fail(what, 'it names images, textures or texture coordinates');
  }
  const triangles = threeTriangles(await loadThree(bytes));
  const expected = objTriangles(obj);
  if (triangles !== expected) fail(what, `three.js shows ${triangles} triangles, the OBJ ${expected}`);
  checked += 1;
}

// A small building with its sheets made smaller: under 1.5 MB as one flat .glb, drawn by
// three.js with its maps and the OBJ's triangles, though it carries no tangents. (The instanced
// forms' small vertices are checked with the sheets beside them, above.)
{
  const args = ['-s', 'B', '-w', '6', '-l', '4', '-h', '5'];
  const what = `${args.join(' ')} --texture-size 512`;
  const obj = path.join(work, 'house.obj');
  build(args, obj);
  const glb = path.join(work, 'house.glb');
  build([...args, '--texture-size', '512'], glb);
  const bytes = new Uint8Array(fs.readFileSync(glb));
  if (bytes.length >= 1500000) fail(what, `${bytes.length} bytes, not under 1.5 MB`);
  await validate(what, bytes, true);
  try {
    const gltf = await loadThree(bytes);
    const triangles = threeTriangles(gltf);
    const expected = objTriangles(obj);
    if (triangles !== expected) fail(what, `three.js shows ${triangles} triangles, the OBJ ${expected}`);
    checkMaps(what, gltf);
  } catch (error) {
    fail(what, `three.js cannot load it: ${error.message ?? error}`);
  }
  checked += 1;
}

console.log(`${checked - failures} passed, ${failures} failed`);
process.exit(failures > 0 ? 1 : 0);
