// Builds tilesets of the example city, of the map-data sample beside it and of a generated one,
// and of the generated one again in four shards joined by --merge-tiles, and checks them as a
// viewer would read them:
//   - every tileset.json is valid against the standard's JSON schemas (schema/);
//   - the tree: every tile's box holds its children's boxes and its content, geometric errors never
//     grow down the tree, leaves have none, refinement is REPLACE, every content file is there;
//   - every .glb has no error and no warning from the Khronos glTF validator, and loaders.gl's
//     3D Tiles loader reads it;
//   - every building is in exactly one leaf, with its properties, and the shards joined hold the
//     same buildings as one run, their leaves drawing within the same bounds (a parent's far
//     levels may reach a little further: a roof's hull is cut down to a few corners).
//
//   node check.mjs path/to/towerkit path/to/units path/to/city.csv [generated buildings]
//
// Exit status 0 when every check passes, 1 when one fails, 77 when the node packages are not
// installed (scripts/install-deps installs them).
//
// With TOWERKIT_TILES_READERS=off the glTF validator and loaders.gl leave the tiles unread: the
// sanitize preset makes the same requests for its checks of the tool's memory, while the readers
// read the same bytes in the default preset (the bytes are the same whatever the build), so there
// they would only take half the test's time again.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

let validator, parse, Tiles3DLoader, Ajv2020;
try {
  validator = (await import('gltf-validator')).default;
  Ajv2020 = (await import('ajv/dist/2020.js')).default;
  ({ parse } = await import('@loaders.gl/core'));
  ({ Tiles3DLoader } = await import('@loaders.gl/3d-tiles'));
} catch (error) {
  console.log(`skipped: the node packages are not installed (npm ci in ${path.dirname(process.argv[1])}): ${error.message}`);
  process.exit(77);
}

const [tool, units, exampleCity, generatedCount = '1500'] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'towerkit-tiles-'));
process.on('exit', () => fs.rmSync(work, { recursive: true, force: true }));

let failures = 0;
function fail(message) {
  console.log(`FAIL ${message}`);
  failures += 1;
}

// The standard's schemas name each other by paths relative to their own files, but each schema's
// $id is its bare file name: each is given an $id of its path instead, so that references resolve.
function tilesetValidator() {
  const root = path.join(path.dirname(process.argv[1]), 'schema');
  const ajv = new Ajv2020({ allErrors: true, strict: false });
  // URIs are checked by the files they name; the schemas' formats only say what they are.
  ajv.addFormat('iri-reference', true);
  ajv.addFormat('uri-reference', true);
  const base = 'https://schemas.invalid/3d-tiles/';
  for (const entry of fs.readdirSync(root, { recursive: true })) {
    if (!entry.endsWith('.schema.json')) continue;
    const schema = JSON.parse(fs.readFileSync(path.join(root, entry), 'utf8'));
    schema.$id = base + entry.split(path.sep).join('/');
    ajv.addSchema(schema);
  }
  return ajv.getSchema(`${base}tileset.schema.json`);
}
const validTileset = tilesetValidator();

function run(args) {
  execFileSync(tool, args, { env: { ...process.env, OSTREL_UNITS_PATH: units }, stdio: 'pipe' });
}

// A city of n buildings on a grid of lots 40 m apart, of both styles and every roof, the same on
// every run.
function generatedCity(n) {
  let seed = 7;
  const random = (k) => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed % k;
  };
  const side = Math.ceil(Math.sqrt(n));
  const rows = ['id,style,width,length,height,door,balcony,x,z,angle,roof'];
  for (let i = 0; i < n; ++i) {
    rows.push([`lot_${i + 1}`, 'AB'[random(2)], 1 + random(6), 1 + random(6), 1 + random(10), 'NSEW'[random(4)] + 'C',
      'NSEW'[random(4)] + 'AEOC'[random(4)], 40 * (i % side), 40 * Math.floor(i / side), 90 * random(4),
      ['', 'gable', 'hip'][random(3)]].join(','));
  }
  const file = path.join(work, `city-${n}.csv`);
  fs.writeFileSync(file, rows.join('\n') + '\n');
  return file;
}

// ---- Boxes ---------------------------------------------------------------------------------

// The smallest and largest x, y and z of a box volume (centre, three half axes).
function boxBounds(box) {
  const lo = [0, 1, 2].map((i) => box[i] - Math.abs(box[3 + i]) - Math.abs(box[6 + i]) - Math.abs(box[9 + i]));
  const hi = [0, 1, 2].map((i) => box[i] + Math.abs(box[3 + i]) + Math.abs(box[6 + i]) + Math.abs(box[9 + i]));
  return { lo, hi };
}

function encloses(outer, inner, slack = 1e-6) {
  return [0, 1, 2].every((i) => {
    const margin = slack * (1 + Math.abs(outer.lo[i]) + Math.abs(outer.hi[i]));
    return inner.lo[i] >= outer.lo[i] - margin && inner.hi[i] <= outer.hi[i] + margin;
  });
}

// ---- A .glb read by hand: its JSON, its accessors, its content's bounds ---------------------

function readGlb(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const jsonLength = view.getUint32(12, true);
  const json = JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + jsonLength)));
  const binStart = 20 + jsonLength + 8;
  return { json, bin: bytes.subarray(binStart) };
}

function accessorValues(glb, index) {
  const accessor = glb.json.accessors[index];
  const bufferView = glb.json.bufferViews[accessor.bufferView];
  const components = { SCALAR: 1, VEC2: 2, VEC3: 3, VEC4: 4 }[accessor.type];
  const start = (bufferView.byteOffset || 0) + (accessor.byteOffset || 0);
  const data = glb.bin.slice(start, start + accessor.count * components * 4);
  const values = new Float32Array(data.buffer, data.byteOffset, accessor.count * components);
  const out = [];
  for (let i = 0; i < accessor.count; ++i) out.push(Array.from(values.subarray(i * components, (i + 1) * components)));
  return out;
}

// Column-major 4x4 matrices.
function multiply(a, b) {
  const out = new Array(16).fill(0);
  for (let c = 0; c < 4; ++c) for (let r = 0; r < 4; ++r) for (let k = 0; k < 4; ++k) out[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
  return out;
}

function compose(t = [0, 0, 0], q = [0, 0, 0, 1], s = [1, 1, 1]) {
  const [x, y, z, w] = q;
  return [
    (1 - 2 * (y * y + z * z)) * s[0], 2 * (x * y + z * w) * s[0], 2 * (x * z - y * w) * s[0], 0,
    2 * (x * y - z * w) * s[1], (1 - 2 * (x * x + z * z)) * s[1], 2 * (y * z + x * w) * s[1], 0,
    2 * (x * z + y * w) * s[2], 2 * (y * z - x * w) * s[2], (1 - 2 * (x * x + y * y)) * s[2], 0,
    t[0], t[1], t[2], 1,
  ];
}

// The bounds of what the .glb draws, in the tileset's frame (+z up: glTF's (x, y, z) is (x, -z, y)).
function contentBounds(glb) {
  const lo = [Infinity, Infinity, Infinity];
  const hi = [-Infinity, -Infinity, -Infinity];
  const addMesh = (matrix, mesh) => {
    for (const primitive of glb.json.meshes[mesh].primitives) {
      const accessor = glb.json.accessors[primitive.attributes.POSITION];
      for (let corner = 0; corner < 8; ++corner) {
        const p = [0, 1, 2].map((i) => ((corner >> i) & 1 ? accessor.max[i] : accessor.min[i]));
        const world = [0, 1, 2].map((i) => matrix[i] * p[0] + matrix[4 + i] * p[1] + matrix[8 + i] * p[2] + matrix[12 + i]);
        const tile = [world[0], -world[2], world[1]];
        for (let i = 0; i < 3; ++i) {
          lo[i] = Math.min(lo[i], tile[i]);
          hi[i] = Math.max(hi[i], tile[i]);
        }
      }
    }
  };
  const visit = (index, parent) => {
    const node = glb.json.nodes[index];
    const matrix = multiply(parent, compose(node.translation, node.rotation, node.scale));
    if (node.mesh !== undefined) {
      const instancing = node.extensions?.EXT_mesh_gpu_instancing;
      if (!instancing) addMesh(matrix, node.mesh);
      else {
        const a = instancing.attributes;
        const t = accessorValues(glb, a.TRANSLATION);
        const r = a.ROTATION !== undefined ? accessorValues(glb, a.ROTATION) : null;
        const s = a.SCALE !== undefined ? accessorValues(glb, a.SCALE) : null;
        t.forEach((translation, i) => addMesh(multiply(matrix, compose(translation, r?.[i], s?.[i])), node.mesh));
      }
    }
    for (const child of node.children || []) visit(child, matrix);
  };
  for (const root of glb.json.scenes[glb.json.scene].nodes) visit(root, compose());
  return { lo, hi };
}

// The ids of the buildings of a .glb's property table, by feature ID.
function buildingIds(glb) {
  const table = glb.json.extensions?.EXT_structural_metadata?.propertyTables?.[0];
  if (!table) return null;
  const view = (index) => {
    const bufferView = glb.json.bufferViews[index];
    return glb.bin.subarray(bufferView.byteOffset || 0, (bufferView.byteOffset || 0) + bufferView.byteLength);
  };
  const values = view(table.properties.id.values);
  const offsetBytes = view(table.properties.id.stringOffsets);
  const offsets = new Uint32Array(offsetBytes.slice().buffer);
  const ids = [];
  for (let i = 0; i < table.count; ++i) ids.push(new TextDecoder().decode(values.subarray(offsets[i], offsets[i + 1])));
  for (const name of ['style', 'storeys', 'height', 'roof']) {
    if (!table.properties[name]) fail(`property table without ${name}`);
  }
  return ids;
}

// ---- The tileset ---------------------------------------------------------------------------

const readersOff = process.env.TOWERKIT_TILES_READERS === 'off';

async function checkGlb(file) {
  const bytes = new Uint8Array(fs.readFileSync(file));
  if (readersOff) return readGlb(bytes);
  const report = await validator.validateBytes(bytes, {
    uri: file,
    externalResourceFunction: (uri) => Promise.resolve(new Uint8Array(fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri))))),
  });
  if (report.issues.numErrors > 0 || report.issues.numWarnings > 0) {
    const shown = report.issues.messages.filter((m) => m.severity <= 1).slice(0, 5).map((m) => `${m.code} ${m.pointer}`);
    fail(`${file}: validator: ${report.issues.numErrors} errors, ${report.issues.numWarnings} warnings: ${shown.join('; ')}`);
  }
  try {
    const tile = await parse(bytes.slice().buffer, Tiles3DLoader, { '3d-tiles': { loadGLTF: true }, gltf: { loadImages: false } });
    if (!tile.gltf || !(tile.gltf.meshes?.length > 0)) fail(`${file}: loaders.gl read no mesh`);
  } catch (error) {
    fail(`${file}: loaders.gl: ${error.message}`);
  }
  return readGlb(bytes);
}

// Checks the tile and what lies under it; returns the ids of the buildings of its leaves.
async function checkTile(tile, folder, where, stats, parentError, parentBounds) {
  const ids = [];
  const box = tile.boundingVolume?.box;
  if (!Array.isArray(box) || box.length !== 12 || !box.every(Number.isFinite)) {
    fail(`${where}: no box`);
    return ids;
  }
  const bounds = boxBounds(box);
  if (parentBounds && !encloses(parentBounds, bounds)) fail(`${where}: its box is not inside its parent's`);
  if (!(tile.geometricError >= 0)) fail(`${where}: geometric error ${tile.geometricError}`);
  if (tile.geometricError > parentError) fail(`${where}: geometric error ${tile.geometricError} above its parent's ${parentError}`);
  if (tile.refine !== undefined && tile.refine !== 'REPLACE') fail(`${where}: refine ${tile.refine}`);
  const children = tile.children || [];
  if (tile.content) {
    const file = path.join(folder, tile.content.uri);
    if (!fs.existsSync(file)) fail(`${where}: no file ${tile.content.uri}`);
    else if (file.endsWith('.json')) {
      const external = JSON.parse(fs.readFileSync(file, 'utf8'));
      ids.push(...(await checkTileset(external, path.dirname(file), file, stats, bounds)));
    } else {
      stats.tiles += 1;
      stats.bytes += fs.statSync(file).size;
      stats.largest = Math.max(stats.largest, fs.statSync(file).size);
      const glb = await checkGlb(file);
      const drawn = contentBounds(glb);
      if (!encloses(bounds, drawn, 1e-5)) fail(`${where}: its content passes its box`);
      const own = buildingIds(glb);
      if (!own) fail(`${where}: no property table`);
      else if (children.length === 0) {
        ids.push(...own);
        for (let i = 0; i < 3; ++i) {
          stats.lo[i] = Math.min(stats.lo[i], drawn.lo[i]);
          stats.hi[i] = Math.max(stats.hi[i], drawn.hi[i]);
        }
      }
    }
  } else if (children.length === 0) fail(`${where}: a leaf without content`);
  if (children.length === 0 && tile.content && !tile.content.uri.endsWith('.json') && tile.geometricError !== 0)
    fail(`${where}: a leaf with a geometric error`);
  for (let i = 0; i < children.length; ++i) {
    ids.push(...(await checkTile(children[i], folder, `${where}/${i}`, stats, tile.geometricError, bounds)));
  }
  return ids;
}

async function checkTileset(tileset, folder, where, stats, parentBounds = null) {
  if (!validTileset(tileset)) {
    for (const error of validTileset.errors) fail(`${where}: schema: ${error.instancePath || '/'} ${error.message}`);
  }
  if (tileset.asset?.version !== '1.1') fail(`${where}: asset version ${tileset.asset?.version}`);
  if (!(tileset.geometricError >= tileset.root?.geometricError)) fail(`${where}: its error is below its root's`);
  if (tileset.root?.refine !== 'REPLACE') fail(`${where}: the root does not refine by REPLACE`);
  return checkTile(tileset.root, folder, where, stats, tileset.geometricError, parentBounds);
}

async function check(name, folder) {
  // lo and hi: the bounds of what the leaves draw.
  const stats = { tiles: 0, bytes: 0, largest: 0, lo: [Infinity, Infinity, Infinity], hi: [-Infinity, -Infinity, -Infinity] };
  const tileset = JSON.parse(fs.readFileSync(path.join(folder, 'tileset.json'), 'utf8'));
  const ids = await checkTileset(tileset, folder, name, stats);
  if (new Set(ids).size !== ids.length) fail(`${name}: a building in more than one leaf`);
  console.log(`${name}: ${ids.length} buildings, ${stats.tiles} tiles, ${(stats.bytes / 1e6).toFixed(1)} MB` +
    `, largest ${(stats.largest / 1e6).toFixed(2)} MB`);
  return { ids, bounds: { lo: stats.lo, hi: stats.hi } };
}

// The example city, as --tiles and as an output named tileset.json.
const example = path.join(work, 'example');
run(['--city', exampleCity, '--tiles', example]);
const exampleRows = fs.readFileSync(exampleCity, 'utf8').trim().split('\n').length - 1;
const exampleResult = await check('example city', example);
if (exampleResult.ids.length !== exampleRows) fail(`example city: ${exampleResult.ids.length} buildings of ${exampleRows}`);
fs.mkdirSync(path.join(work, 'named'));
run(['--city', exampleCity, path.join(work, 'named', 'tileset.json')]);
if (fs.readFileSync(path.join(work, 'named', 'tileset.json'), 'utf8') !== fs.readFileSync(path.join(example, 'tileset.json'), 'utf8'))
  fail('an output named tileset.json is not the tileset of --tiles');

// The map-data sample beside the example city: every building its summary counts as built.
const quarterCity = path.join(path.dirname(exampleCity), 'quarter.geojson');
const quarter = path.join(work, 'quarter');
const said = execFileSync(tool, ['--city', quarterCity, '--tiles', quarter],
  { env: { ...process.env, OSTREL_UNITS_PATH: units }, stdio: ['ignore', 'pipe', 'pipe'], encoding: 'utf8' });
const built = Number((/ (\d+) built,/.exec(said) || [])[1]);
const quarterResult = await check('map-data sample', quarter);
if (!(built > 0) || quarterResult.ids.length !== built) fail(`map-data sample: ${quarterResult.ids.length} buildings of ${built}`);

// A generated city, whole and in four shards.
const count = Number(generatedCount);
const city = generatedCity(count);
const whole = path.join(work, 'whole');
run(['--city', city, '--tiles', whole]);
const wholeResult = await check(`generated city of ${count}`, whole);
if (wholeResult.ids.length !== count) fail(`generated city: ${wholeResult.ids.length} buildings of ${count}`);
const sharded = path.join(work, 'sharded');
for (let k = 1; k <= 4; ++k) run(['--city', city, '--shard', `${k}/4`, '--tiles', sharded]);
run(['--merge-tiles', sharded]);
const shardResult = await check('four shards joined', sharded);
if (JSON.stringify([...shardResult.ids].sort()) !== JSON.stringify([...wholeResult.ids].sort()))
  fail('the shards joined do not hold the buildings of one run');
if (!encloses(shardResult.bounds, wholeResult.bounds, 1e-9) || !encloses(wholeResult.bounds, shardResult.bounds, 1e-9))
  fail('the shards joined have other bounds than one run');

if (failures > 0) {
  console.log(`${failures} checks failed`);
  process.exit(1);
}
console.log('every check passed');
