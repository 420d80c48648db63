// Builds buildings of both shipped styles at several sizes as .glb, flat and in both instanced
// forms, and checks each with two consumers (and a building and a city as .gltf with the
// validator): the Khronos glTF validator must report no error and
// no warning, and three.js's GLTFLoader must load it with the triangles of the OBJ output of the
// same request (OBJ polygons count as fans: corners - 2 triangles each).
//
//   node check.mjs path/to/towerkit path/to/units
//
// Exit status 0 when every check passes, 1 when one fails, 77 when the node packages are not
// installed (scripts/install-deps installs them).

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

let validator, GLTFLoader;
try {
  validator = (await import('gltf-validator')).default;
  ({ GLTFLoader } = await import('three/addons/loaders/GLTFLoader.js'));
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
  ['-w', '6', '-l', '4', '-h', '5', '-d', 'WR', '-b', 'NE', '-b', 'EO', '-c', 'SC'],
];
const forms = ['flat', 'nodes', 'gpu'];

function build(args, output) {
  execFileSync(tool, [...args, output], { env: { ...process.env, OSTREL_UNITS_PATH: units }, stdio: 'pipe' });
}

function objTriangles(file) {
  let triangles = 0;
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    if (line.startsWith('f ')) triangles += line.trim().split(/\s+/).length - 3;
  }
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

let failures = 0;
let checked = 0;
function fail(what, message) {
  console.log(`FAIL ${what}: ${message}`);
  failures += 1;
}

// Fails unless the Khronos validator finds neither an error nor a warning.
async function validate(what, bytes) {
  const report = await validator.validateBytes(bytes, { maxIssues: 20 });
  if (report.issues.numErrors > 0 || report.issues.numWarnings > 0) {
    const said = report.issues.messages
      .filter((message) => message.severity <= 1)
      .map((message) => `${message.code} ${message.message} ${message.pointer ?? ''}`);
    fail(what, `validator: ${said.join('; ')}`);
  }
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
      try {
        const triangles = threeTriangles(await loadThree(bytes));
        if (triangles !== expected) fail(what, `three.js shows ${triangles} triangles, the OBJ ${expected}`);
      } catch (error) {
        fail(what, `three.js cannot load it: ${error.message ?? error}`);
      }
      checked += 1;
    }
  }
}
// A city: several buildings, turned and moved, each a node of its own.
const city = path.join(work, 'city.csv');
fs.writeFileSync(city, 'id,style,width,length,height,door,balcony,close,x,z,angle\n' +
  'one,A,3,2,3,SC,NC EA,,0,0,0\ntwo,B,2,4,5,NL,,WA,10,0,90\nthree,A,1,1,1,,,,0,10,45\n');
const cityObj = path.join(work, 'city.obj');
build(['--city', city], cityObj);
const cityTriangles = objTriangles(cityObj);
for (const form of forms) {
  const what = `--city --instances ${form}`;
  const glb = path.join(work, `city-${form}.glb`);
  build(form === 'flat' ? ['--city', city] : ['--city', city, '--instances', form], glb);
  const bytes = new Uint8Array(fs.readFileSync(glb));
  await validate(what, bytes);
  try {
    const gltf = await loadThree(bytes);
    const triangles = threeTriangles(gltf);
    if (triangles !== cityTriangles) fail(what, `three.js shows ${triangles} triangles, the OBJ ${cityTriangles}`);
    const names = gltf.scene.children.map((node) => node.name).join(',');
    if (names !== 'one,two,three') fail(what, `three.js names the buildings ${names}`);
  } catch (error) {
    fail(what, `three.js cannot load it: ${error.message ?? error}`);
  }
  checked += 1;
}

// .gltf: the JSON text with its buffer in a .bin beside it, which the validator reads by its URI.
async function validateGltf(what, file) {
  const json = new Uint8Array(fs.readFileSync(file));
  const externalResourceFunction = (uri) =>
    Promise.resolve(new Uint8Array(fs.readFileSync(path.join(path.dirname(file), decodeURIComponent(uri)))));
  const report = await validator.validateBytes(json, { uri: path.basename(file), externalResourceFunction });
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

console.log(`${checked - failures} passed, ${failures} failed`);
process.exit(failures > 0 ? 1 : 0);
