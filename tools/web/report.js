// The report's 3D view: the part from the inlined mesh data, coloured by the chosen analysis'
// colour classes, turned with three.js' orbit controls; clicking a face in the view names its
// class, clicking a listed face turns the view to it.
(function () {
  'use strict';

  const summary = JSON.parse(document.getElementById('summary').textContent);
  const select = document.getElementById('layer-select');
  const bar = document.getElementById('colour-bar');
  const info = document.getElementById('face-info');
  const canvas = document.getElementById('view');
  const viewer = document.getElementById('viewer');

  // Mesh data: node coordinates (float32 x y z), triangles (uint32 node triples), the file face
  // of each triangle when faces were split (uint32), then per layer one colour class per face
  // (uint8: a bin number, 254 flagged, 255 without value). Little-endian throughout.
  function decodeBase64(text) {
    const binary = atob(text);
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
    return bytes;
  }
  const bytes = decodeBase64(document.getElementById('mesh-data').textContent.trim());
  performance.mark('vexmor-data-decoded');
  const nodes = summary.mesh.nodes, triangles = summary.mesh.triangles, faces = summary.mesh.faces;
  let offset = 0;
  const coords = new Float32Array(bytes.buffer, offset, 3 * nodes);
  offset += 12 * nodes;
  const corners = new Uint32Array(bytes.buffer, offset, 3 * triangles);
  offset += 12 * triangles;
  let faceOfTriangle = null;
  if (summary.mesh.split) {
    faceOfTriangle = new Uint32Array(bytes.buffer, offset, triangles);
    offset += 4 * triangles;
  }
  const classes = {};
  for (const layer of summary.layers) {
    classes[layer.key] = new Uint8Array(bytes.buffer, offset, faces);
    offset += faces;
  }
  const fileFace = (t) => (faceOfTriangle ? faceOfTriangle[t] : t);

  function hexToRgb(hex) {
    const v = parseInt(hex.slice(1), 16);
    return [(v >> 16) & 255, (v >> 8) & 255, v & 255];
  }

  function escapeText(text) {
    const span = document.createElement('span');
    span.textContent = text;
    return span.innerHTML;
  }

  // The colour bar of a layer: its classes high to low, the bad end named, flagged faces red.
  function showColourBar(layer) {
    const rows = [];
    rows.push('<div class="unit">' + escapeText(layer.title) + '</div>');
    rows.push('<div class="muted">' + escapeText(layer.unitName) + '</div>');
    rows.push('<div class="end' + (layer.highBad ? ' bad' : '') + '">▲ ' +
              escapeText(layer.highEnd) + (layer.highBad ? ' (bad end)' : '') + '</div>');
    for (let b = layer.bins.length - 1; b >= 0; --b) {
      const bin = layer.bins[b];
      rows.push('<div class="bin"><span class="swatch" style="background:' + bin.colour +
                '"></span>' + escapeText(bin.label) + '</div>');
    }
    rows.push('<div class="end' + (layer.lowBad ? ' bad' : '') + '">▼ ' +
              escapeText(layer.lowEnd) + (layer.lowBad ? ' (bad end)' : '') + '</div>');
    if (layer.flags) {
      rows.push('<div class="bin"><span class="swatch" style="background:' + summary.flaggedColour +
                '"></span>' + escapeText(layer.flagText) + '</div>');
    }
    if (layer.missing > 0) {
      rows.push('<div class="bin"><span class="swatch" style="background:' + summary.noValueColour +
                '"></span>no value</div>');
    }
    bar.innerHTML = rows.join('');
  }

  function classText(layer, c) {
    if (c === 254) return layer.flagText + ' (flagged)';
    if (c === 255) return 'no value';
    return layer.bins[c].label + (layer.unit ? ' ' + layer.unit : '');
  }

  if (summary.layers.length === 0) {
    document.getElementById('toolbar').querySelector('label').hidden = true;
    bar.hidden = true;
  }
  for (const layer of summary.layers) {
    const option = document.createElement('option');
    option.value = layer.key;
    option.textContent = layer.title;
    select.appendChild(option);
  }

  let renderer = null;
  try {
    renderer = new THREE.WebGLRenderer({canvas: canvas, antialias: true});
  } catch (e) {
    renderer = null;
  }
  if (!renderer || !renderer.getContext()) {
    document.getElementById('no-webgl').hidden = false;
    if (summary.layers.length > 0) showColourBar(summary.layers[0]);
    document.documentElement.dataset.ready = 'true';
    return;
  }
  renderer.setPixelRatio(window.devicePixelRatio || 1);
  renderer.setClearColor(0xfafafa);

  // Non-indexed triangles, so that each face keeps one flat colour.
  const positions = new Float32Array(9 * triangles);
  for (let t = 0; t < triangles; ++t) {
    for (let k = 0; k < 3; ++k) {
      const n = corners[3 * t + k];
      positions[9 * t + 3 * k] = coords[3 * n];
      positions[9 * t + 3 * k + 1] = coords[3 * n + 1];
      positions[9 * t + 3 * k + 2] = coords[3 * n + 2];
    }
  }
  // Grey until an analysis colours the part (a rejected mesh has none).
  const colours = new Uint8Array(9 * triangles).fill(hexToRgb(summary.noValueColour)[0]);
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
  const colourAttribute = new THREE.BufferAttribute(colours, 3, true);
  geometry.setAttribute('color', colourAttribute);
  geometry.computeBoundingSphere();
  performance.mark('vexmor-geometry-built');
  const material = new THREE.MeshPhongMaterial({
    vertexColors: THREE.VertexColors,
    flatShading: true,
    side: THREE.DoubleSide,
    shininess: 0,
    specular: 0x000000,
  });
  const part = new THREE.Mesh(geometry, material);

  const scene = new THREE.Scene();
  scene.add(part);
  scene.add(new THREE.AmbientLight(0xffffff, 0.45));
  const centre = geometry.boundingSphere.center.clone();
  const radius = Math.max(geometry.boundingSphere.radius, 1e-9);
  const camera = new THREE.PerspectiveCamera(30, 1, radius / 100, radius * 100);
  camera.up.set(0, 0, 1);
  // The light sits above the viewer's left shoulder and turns with the camera: both it and its
  // target ride on the camera, so that faces the view meets at equal angles still differ.
  const light = new THREE.DirectionalLight(0xffffff, 0.6);
  light.position.set(-0.35, 0.55, 0.76);
  camera.add(light);
  camera.add(light.target);
  scene.add(camera);

  const marker = new THREE.Mesh(
      new THREE.SphereBufferGeometry(radius * 0.012, 16, 12),
      new THREE.MeshBasicMaterial({color: 0xff00ff, depthTest: false}));
  marker.renderOrder = 1;
  marker.visible = false;
  scene.add(marker);

  const controls = new THREE.OrbitControls(camera, canvas);
  controls.screenSpacePanning = true;
  const distance = radius / Math.sin((camera.fov / 2) * Math.PI / 180) * 1.1;

  function render() {
    renderer.render(scene, camera);
  }

  function resetView() {
    const direction = new THREE.Vector3(1, -1, 1).normalize();
    controls.target.copy(centre);
    camera.position.copy(centre).addScaledVector(direction, distance);
    controls.update();
    marker.visible = false;
    info.hidden = true;
    render();
  }

  function resize() {
    const width = viewer.clientWidth, height = viewer.clientHeight;
    renderer.setSize(width, height, false);
    camera.aspect = width / Math.max(height, 1);
    camera.updateProjectionMatrix();
    render();
  }

  let current = null;
  function selectLayer(key) {
    const layer = summary.layers.find((l) => l.key === key);
    if (!layer) return;
    current = layer;
    select.value = key;
    const palette = layer.bins.map((b) => hexToRgb(b.colour));
    const flagged = hexToRgb(summary.flaggedColour), none = hexToRgb(summary.noValueColour);
    const faceClass = classes[key];
    for (let t = 0; t < triangles; ++t) {
      const c = faceClass[fileFace(t)];
      const rgb = c === 254 ? flagged : c === 255 || c >= palette.length ? none : palette[c];
      for (let k = 0; k < 3; ++k) {
        colours[9 * t + 3 * k] = rgb[0];
        colours[9 * t + 3 * k + 1] = rgb[1];
        colours[9 * t + 3 * k + 2] = rgb[2];
      }
    }
    colourAttribute.needsUpdate = true;
    showColourBar(layer);
    render();
  }

  // Turns the view smoothly to look at a point along a direction, keeping the distance.
  let animation = null;
  function turnTo(point, normal) {
    const target = new THREE.Vector3().fromArray(point);
    let direction = new THREE.Vector3().fromArray(normal);
    if (direction.lengthSq() === 0) direction = camera.position.clone().sub(controls.target);
    direction.normalize();
    const reach = Math.min(camera.position.distanceTo(controls.target), distance * 0.6);
    const fromTarget = controls.target.clone(), fromPosition = camera.position.clone();
    const toPosition = target.clone().addScaledVector(direction, reach);
    marker.position.copy(target);
    marker.visible = true;
    const start = performance.now();
    if (animation) cancelAnimationFrame(animation);
    const step = (now) => {
      const u = Math.min((now - start) / 400, 1), s = u * u * (3 - 2 * u);
      controls.target.lerpVectors(fromTarget, target, s);
      camera.position.lerpVectors(fromPosition, toPosition, s);
      controls.update();
      render();
      animation = u < 1 ? requestAnimationFrame(step) : null;
    };
    animation = requestAnimationFrame(step);
  }

  function showInfo(text) {
    info.textContent = text;
    info.hidden = false;
  }

  // A click (not a drag) on the part names the face's class.
  const raycaster = new THREE.Raycaster();
  let pressedAt = null;
  canvas.addEventListener('pointerdown', (e) => { pressedAt = [e.clientX, e.clientY]; });
  canvas.addEventListener('pointerup', (e) => {
    if (!pressedAt || Math.hypot(e.clientX - pressedAt[0], e.clientY - pressedAt[1]) > 4) return;
    const rect = canvas.getBoundingClientRect();
    const mouse = new THREE.Vector2(((e.clientX - rect.left) / rect.width) * 2 - 1,
                                    -((e.clientY - rect.top) / rect.height) * 2 + 1);
    raycaster.setFromCamera(mouse, camera);
    const hit = raycaster.intersectObject(part)[0];
    if (!hit || !current) return;
    const face = fileFace(hit.faceIndex);
    marker.position.copy(hit.point);
    marker.visible = true;
    render();
    showInfo('face ' + face + ': ' + current.title.toLowerCase() + ' ' +
             classText(current, classes[current.key][face]));
  });

  // The listed faces: a click shows the analysis, turns the view to the face and names it.
  document.querySelectorAll('ol.faces button').forEach((button) => {
    button.addEventListener('click', () => {
      document.querySelectorAll('ol.faces button.current').forEach((b) => b.classList.remove('current'));
      button.classList.add('current');
      if (current === null || current.key !== button.dataset.layer) selectLayer(button.dataset.layer);
      turnTo(JSON.parse(button.dataset.centre), JSON.parse(button.dataset.normal));
      showInfo(button.dataset.text);
      document.documentElement.dataset.focusedFace = button.dataset.face;
    });
  });

  controls.addEventListener('change', render);
  select.addEventListener('change', () => selectLayer(select.value));
  document.getElementById('reset-view').addEventListener('click', resetView);
  window.addEventListener('resize', resize);

  resize();
  resetView();
  if (summary.layers.length > 0) selectLayer(summary.layers[0].key);
  performance.mark('vexmor-first-view');
  // For scripts that drive the page (the report's own browser test among them).
  window.vexmorReport = {
    selectLayer: selectLayer,
    target: () => controls.target.toArray(),
  };
  document.documentElement.dataset.ready = 'true';
})();
