// The viewer: loads a binary glTF from ?model=URL or from a dropped file, fits it to the
// view, orbits, pans and zooms, and shows a clicked element in the side panel. Once a model
// is drawn, <body data-elements> holds the number of element meshes shown.
import * as THREE from './three/build/three.module.js';
import { GLTFLoader } from './three/examples/jsm/loaders/GLTFLoader.js';
import { OrbitControls } from './three/examples/jsm/controls/OrbitControls.js';
import { elementCode, showElement } from './panel.js';

const canvas = document.getElementById('canvas');
const view = document.getElementById('view');
const status = document.getElementById('status');

let renderer;
try {
  renderer = new THREE.WebGLRenderer({ canvas, antialias: true });
} catch (error) {
  // Without WebGL nothing can be shown: say so on the page rather than only in the console.
  document.body.dataset.error = `WebGL is not available: ${error.message}`;
  status.textContent = document.body.dataset.error;
  status.classList.add('error');
  throw error;
}
renderer.setPixelRatio(window.devicePixelRatio);
const scene = new THREE.Scene();
scene.background = new THREE.Color(0xdde3ea);
scene.add(new THREE.HemisphereLight(0xffffff, 0x55606b, 0.9));
const sun = new THREE.DirectionalLight(0xffffff, 0.7);
sun.position.set(0.5, 1, 0.8);
scene.add(sun);
const camera = new THREE.PerspectiveCamera(45, 1, 0.1, 1000);
camera.position.set(10, 10, 10);
const controls = new OrbitControls(camera, canvas);
controls.screenSpacePanning = true;

let model = null;      // the loaded scene
let picked = null;     // { mesh, material } of the highlighted element
let fitted = false;    // the view is as fit() left it: a change of size fits again

function render() {
  renderer.render(scene, camera);
}

function resize() {
  const { clientWidth: width, clientHeight: height } = view;
  renderer.setSize(width, height, false);
  camera.aspect = width / Math.max(height, 1);
  camera.updateProjectionMatrix();
  if (fitted) fit();
  else render();
}

// The largest distance from the view's centre, in normalised device coordinates, of a
// corner of box as the camera sees it now.
function projectedExtent(box) {
  camera.updateMatrixWorld();
  let extent = 0;
  for (let corner = 0; corner < 8; corner += 1) {
    const point = new THREE.Vector3(corner & 1 ? box.max.x : box.min.x,
      corner & 2 ? box.max.y : box.min.y, corner & 4 ? box.max.z : box.min.z).project(camera);
    extent = Math.max(extent, Math.abs(point.x), Math.abs(point.y));
  }
  return extent;
}

// Puts the whole model in view, seen from above one corner: first at the distance where its
// bounding sphere fits, then closer until its box fills most of the view.
function fit() {
  if (!model) return;
  const box = new THREE.Box3().setFromObject(model);
  if (box.isEmpty()) return;
  const centre = box.getCenter(new THREE.Vector3());
  const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-3);
  const direction = new THREE.Vector3(0.7, 0.6, 1).normalize();
  let distance = radius / Math.sin((camera.fov * Math.PI) / 360);
  camera.near = distance / 1000;
  camera.far = distance * 100;
  camera.updateProjectionMatrix();
  controls.target.copy(centre);
  for (let round = 0; round < 3; round += 1) {
    camera.position.copy(centre).addScaledVector(direction, distance);
    camera.lookAt(centre);
    const extent = projectedExtent(box);
    if (extent > 0) distance *= extent / 0.9;
  }
  camera.position.copy(centre).addScaledVector(direction, distance);
  controls.update();
  fitted = true;
  render();
}

function setStatus(text, isError = false) {
  status.textContent = text;
  status.classList.toggle('error', isError);
}

function show(gltf) {
  if (model) scene.remove(model);
  model = gltf.scene;
  picked = null;
  showElement(null);
  scene.add(model);
  let meshes = 0;
  model.traverse((object) => { if (object.isMesh) meshes += 1; });
  fit();
  setStatus('');
  // The count is set after the frame that draws the model, so that a reader of the
  // attribute sees the model on screen.
  requestAnimationFrame(() => {
    render();
    document.body.dataset.elements = String(meshes);
  });
}

function failed(source, error) {
  delete document.body.dataset.elements;
  document.body.dataset.error = String(error?.message ?? error);
  setStatus(`${source} can't be shown: ${document.body.dataset.error}`, true);
}

const loader = new GLTFLoader();

function loadUrl(url) {
  setStatus(`Loading ${url} ...`);
  loader.load(url, show, undefined, (error) => failed(url, error));
}

function loadFile(file) {
  setStatus(`Reading ${file.name} ...`);
  file.arrayBuffer()
    .then((bytes) => loader.parse(bytes, '', show, (error) => failed(file.name, error)))
    .catch((error) => failed(file.name, error));
}

// The element node above a hit mesh: the first one that carries a name or records.
function elementOf(object) {
  for (let node = object; node && node !== model; node = node.parent) {
    if (node.userData.name !== undefined || node.userData.component !== undefined) return node;
  }
  return object;
}

function highlight(mesh) {
  if (picked) picked.mesh.material = picked.material;
  picked = null;
  if (mesh) {
    picked = { mesh, material: mesh.material };
    mesh.material = mesh.material.clone();  // materials are shared between elements
    mesh.material.emissive = new THREE.Color(0xff8c1a);
    mesh.material.emissiveIntensity = 0.6;
  }
  render();
}

function pick(clientX, clientY) {
  if (!model) return;
  const rect = canvas.getBoundingClientRect();
  const pointer = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1,
                                    -((clientY - rect.top) / rect.height) * 2 + 1);
  const raycaster = new THREE.Raycaster();
  raycaster.setFromCamera(pointer, camera);
  const hit = raycaster.intersectObject(model, true).find((h) => h.object.isMesh);
  const element = hit ? elementOf(hit.object) : null;
  highlight(hit ? hit.object : null);
  showElement(element);
  document.body.dataset.picked = element ? elementCode(element) : '';
}

// A click picks; a drag (the controls' orbit or pan) does not.
let down = null;
canvas.addEventListener('pointerdown', (event) => { down = [event.clientX, event.clientY]; });
canvas.addEventListener('pointerup', (event) => {
  if (down && Math.hypot(event.clientX - down[0], event.clientY - down[1]) < 5) {
    pick(event.clientX, event.clientY);
  }
  down = null;
});

view.addEventListener('dragover', (event) => {
  event.preventDefault();
  view.classList.add('dropping');
});
view.addEventListener('dragleave', () => view.classList.remove('dropping'));
view.addEventListener('drop', (event) => {
  event.preventDefault();
  view.classList.remove('dropping');
  const file = [...event.dataTransfer.files].find((f) => f.name.toLowerCase().endsWith('.glb'));
  if (file) loadFile(file);
  else setStatus('Only .glb files can be opened here.', true);
});

document.getElementById('fit').addEventListener('click', fit);
window.addEventListener('keydown', (event) => { if (event.key === 'f' || event.key === 'F') fit(); });
controls.addEventListener('change', render);
controls.addEventListener('start', () => { fitted = false; });
new ResizeObserver(resize).observe(view);

const url = new URLSearchParams(window.location.search).get('model');
if (url) loadUrl(url);
