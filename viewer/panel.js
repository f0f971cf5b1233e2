// The side panel: the picked element's code, its identity (the component record) and its
// properties (the attribute record's classes), all read from the node's extras.

const identityLabels = [
  ['ElementID', 'Element id'],
  ['name', 'Description'],
  ['type', 'Type'],
  ['revision', 'Revision'],
];

function definitionList(target, pairs) {
  target.replaceChildren();
  for (const [term, value] of pairs) {
    const dt = document.createElement('dt');
    dt.textContent = term;
    const dd = document.createElement('dd');
    dd.textContent = value;
    target.append(dt, dd);
  }
}

// The element code of a picked node: the glTF node name (kept unchanged in userData.name),
// else the component record's code.
export function elementCode(object) {
  return object.userData.name ?? object.userData.component?.code ?? object.name;
}

// Shows the element of `object`, or nothing picked when object is null.
export function showElement(object) {
  const code = document.getElementById('code');
  const identity = document.getElementById('identity');
  const properties = document.getElementById('properties');
  document.getElementById('details').hidden = !object;
  if (!object) {
    code.textContent = 'No element picked';
    identity.replaceChildren();
    properties.replaceChildren();
    return;
  }
  code.textContent = elementCode(object);
  const component = object.userData.component ?? {};
  definitionList(identity, identityLabels
    .filter(([key]) => component[key] !== undefined)
    .map(([key, label]) => [label, String(component[key])]));

  properties.replaceChildren();
  const classes = object.userData.attributes ?? {};
  for (const [label, values] of Object.entries(classes)) {
    const heading = document.createElement('h3');
    heading.textContent = label || '(no class label)';
    const list = document.createElement('dl');
    definitionList(list, Object.entries(values ?? {}).map(([key, value]) => [key, String(value)]));
    properties.append(heading, list);
  }
  if (!properties.childElementCount) properties.textContent = 'None';
}
