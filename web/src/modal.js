// The module's pop-up menu and dialogs, drawn in the page from the descriptions the module sends
// (klp_show_menu, klp_show_dialog). Each is a modal <dialog>: the page is inert while it is up,
// so the players take no mouse input, as the owner of a modal menu or dialog. What the user does
// goes back to the module as events; the module says when it is over (klp_modal_closed).

const MODAL_STYLE =
  'dialog.klp-menu{position:fixed;margin:0;padding:2px 0;inset:auto;max-width:none;max-height:none;' +
  'border:1px solid GrayText;background:Menu;color:MenuText;font:menu;box-shadow:2px 2px 4px #0004;' +
  'outline:none;min-width:10em}' +
  'dialog.klp-menu::backdrop,dialog.klp-dialog::backdrop{background:transparent}' +
  '.klp-menu [role=menuitem]{padding:3px 24px;white-space:pre;cursor:default;outline:none}' +
  '.klp-menu [role=menuitem]:focus{background:Highlight;color:HighlightText}' +
  '.klp-menu [role=menuitem][aria-disabled=true]{color:GrayText}' +
  '.klp-menu [role=separator]{border-top:1px solid GrayText;margin:3px 1px}' +
  'dialog.klp-dialog{position:fixed;margin:0;padding:0;inset:auto;max-width:none;max-height:none;' +
  'border:1px solid GrayText;background:ButtonFace;color:ButtonText;box-shadow:2px 2px 6px #0006}' +
  '.klp-title{display:flex;align-items:center;padding:2px 2px 2px 6px;background:Highlight;' +
  'color:HighlightText;font:caption;font-weight:bold;user-select:none}' +
  '.klp-title>span{flex:1}' +
  '.klp-title>button{font:inherit;line-height:1;padding:0 4px;min-width:0}' +
  '.klp-client{position:relative}' +
  '.klp-client *{box-sizing:border-box;font:inherit}' +
  '.klp-control{position:absolute;margin:0;white-space:pre-line}' +
  '.klp-control>input{margin:0 4px 0 0;vertical-align:middle}' +
  'label.klp-control{display:flex;align-items:center;white-space:nowrap}' +
  'button.klp-control{padding:0 6px}' +
  'button.klp-default{outline:1px solid ButtonText}' +
  '.klp-group>.klp-frame{position:absolute;left:0;right:0;bottom:0;border:1px groove ButtonBorder}' +
  '.klp-group>.klp-legend{position:absolute;left:6px;top:0;padding:0 2px;background:ButtonFace;' +
  'white-space:nowrap}' +
  'canvas.klp-control{border:2px inset ButtonBorder;box-sizing:content-box}';

// Dialog units to pixels from the dialog font's average letter width and height, rounded as
// the dialog manager rounds them.
function baseUnits(font) {
  const context = document.createElement('canvas').getContext('2d');
  context.font = font;
  const m = context.measureText('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz');
  const height = Math.round((m.fontBoundingBoxAscent || 0) + (m.fontBoundingBoxDescent || 0)) ||
    Math.round(parseFloat(context.font) * 1.2) || 13;
  return { x: Math.max(1, Math.trunc((Math.trunc(m.width) / 26 + 1) / 2)), y: Math.max(1, height) };
}
const mulDiv = (a, b, c) => Math.round((a * b) / c);
function toPixels([x, y, cx, cy], u) {
  return { x: mulDiv(x, u.x, 4), y: mulDiv(y, u.y, 8), width: mulDiv(cx, u.x, 4), height: mulDiv(cy, u.y, 8) };
}

// A menu or button text without its '&' mnemonic markers ("&&" is a plain '&').
function plainText(text) {
  return String(text).replace(/&(&?)/g, (m, amp) => amp);
}

// left, top in viewport pixels, moved so that a box of width x height stays inside the viewport.
function keepInView(left, top, width, height) {
  const right = document.documentElement.clientWidth || window.innerWidth;
  const bottom = document.documentElement.clientHeight || window.innerHeight;
  return [Math.max(0, Math.min(left, right - width)), Math.max(0, Math.min(top, bottom - height))];
}

class ModalView {
  constructor(instance, className) {
    this.instance = instance;
    const root = instance.stage;
    if (!root.querySelector('style.klp-modal')) {
      const style = document.createElement('style');
      style.className = 'klp-modal';
      style.textContent = MODAL_STYLE;
      root.append(style);
    }
    this.box = document.createElement('dialog');
    this.box.className = className;
    this.closed = false;
    // Escape is the module's to handle; a close the browser forces shows the box again.
    this.box.addEventListener('cancel', (e) => e.preventDefault());
    this.box.addEventListener('close', () => { if (!this.closed) this.show(); });
    this.box.addEventListener('contextmenu', (e) => e.preventDefault());
    // Input to the box is its own: none reaches the player around it.
    for (const type of ['pointerdown', 'pointerup', 'pointermove', 'pointerenter', 'pointerleave',
      'click', 'dblclick', 'contextmenu', 'keydown', 'keyup']) {
      this.box.addEventListener(type, (e) => e.stopPropagation());
    }
    root.append(this.box);
  }
  show() {
    if (!this.box.isConnected) return;
    try { this.box.showModal(); } catch (e) { this.box.setAttribute('open', ''); }
  }
  // Where the area's point (x, y) lies in the viewport.
  viewportPoint(x, y) {
    const element = this.instance.element;
    const r = element.getBoundingClientRect();
    return [r.left + element.clientLeft + x, r.top + element.clientTop + y];
  }
  place(left, top) {
    const [x, y] = keepInView(left, top, this.box.offsetWidth, this.box.offsetHeight);
    this.box.style.left = `${x}px`;
    this.box.style.top = `${y}px`;
  }
  close() {
    this.closed = true;
    if (this.box.open) this.box.close();
    this.box.remove();
  }
}

// The pop-up menu: arrow keys, Home and End move through the items, Enter or Space chooses,
// Escape, Tab or a click outside closes it with no choice.
class ModuleMenu extends ModalView {
  constructor(instance, x, y, items, choose) {
    super(instance, 'klp-menu');
    this.choose = (command) => {
      if (this.answered) return;
      this.answered = true;
      choose(command);
    };
    const menu = document.createElement('div');
    menu.setAttribute('role', 'menu');
    menu.setAttribute('aria-label', 'Movie');
    for (const item of items) {
      const row = document.createElement('div');
      if (item.separator) {
        row.setAttribute('role', 'separator');
      } else {
        row.setAttribute('role', 'menuitem');
        row.tabIndex = -1;
        row.textContent = plainText(item.text);
        if (!item.enabled) row.setAttribute('aria-disabled', 'true');
        row.klpCommand = item.enabled ? item.command : 0;
        row.addEventListener('click', () => { if (row.klpCommand) this.choose(row.klpCommand); });
        row.addEventListener('pointermove', () => row.focus({ preventScroll: true }));
      }
      menu.append(row);
    }
    this.box.append(menu);
    this.items = [...menu.querySelectorAll('[role=menuitem]')];
    // A click beside the menu lands on the dialog itself, over its backdrop.
    this.box.addEventListener('pointerdown', (e) => { if (e.target === this.box) this.choose(0); });
    this.box.addEventListener('keydown', (e) => this.key(e));
    this.show();
    this.place(...this.viewportPoint(x, y));
    (this.items.find((i) => i.klpCommand) || this.items[0] || this.box).focus({ preventScroll: true });
  }
  key(e) {
    const at = this.items.indexOf(this.instance.stage.activeElement);
    const move = (to) => this.items[(to + this.items.length) % this.items.length]?.focus();
    switch (e.key) {
      case 'ArrowDown': move(at + 1); break;
      case 'ArrowUp': move(at < 0 ? -1 : at - 1); break;
      case 'Home': move(0); break;
      case 'End': move(-1); break;
      case 'Enter':
      case ' ': {
        const item = this.items[at];
        if (item?.klpCommand) this.choose(item.klpCommand);
        break;
      }
      case 'Escape':
      case 'Tab':
        this.choose(0);
        break;
      default:
        return;
    }
    e.preventDefault();
    e.stopPropagation();
  }
}

// A dialog from the module's template: the controls at the template's places in dialog units,
// grouped by the group boxes that hold them; each input goes to the module, which answers with
// the check marks to show.
class ModuleDialog extends ModalView {
  constructor(instance, d, picture, input) {
    super(instance, 'klp-dialog');
    this.input = input;
    const font = `${d.points || 8}pt "${d.font}", system-ui, sans-serif`;
    this.box.style.font = font;
    const units = baseUnits(font);
    const titleId = `klp-title-${++ModuleDialog.serial}`;
    this.box.setAttribute('aria-labelledby', titleId);

    const title = document.createElement('div');
    title.className = 'klp-title';
    const caption = document.createElement('span');
    caption.id = titleId;
    caption.textContent = d.caption;
    title.append(caption);
    if (d.closeBox) {
      const close = document.createElement('button');
      close.type = 'button';
      close.textContent = '\u00d7';
      close.setAttribute('aria-label', 'Close');
      close.tabIndex = -1;
      close.addEventListener('click', () => this.input(WebEvent.DialogClose, 0));
      title.append(close);
    }
    const client = document.createElement('div');
    client.className = 'klp-client';
    const size = toPixels([0, 0, ...d.size], units);
    client.style.width = `${size.width}px`;
    client.style.height = `${size.height}px`;
    this.box.append(title, client);

    this.checkables = new Map();  // control id -> input
    const groups = [];  // {rect, element}
    let radioGroup = null;
    let radioGroups = 0;
    let first = null;
    for (const c of d.controls) {
      const r = toPixels(c.rect, units);
      if (c.group) radioGroup = null;
      const element = this.control(c, r, picture,
        () => (radioGroup ||= `${titleId}-radio-${++radioGroups}`), `${titleId}-group-${groups.length}`);
      // A control inside a group box belongs to it, for the page's structure and its readers.
      const holder = groups.find((g) => r.x >= g.r.x && r.y >= g.r.y &&
        r.x + r.width <= g.r.x + g.r.width && r.y + r.height <= g.r.y + g.r.height);
      const origin = holder ? holder.r : { x: 0, y: 0 };
      if (c.kind !== 'picture') {
        element.style.left = `${r.x - origin.x}px`;
        element.style.top = `${r.y - origin.y}px`;
        element.style.width = `${r.width}px`;
        element.style.height = `${r.height}px`;
      } else {
        element.style.left = `${element.klpLeft - origin.x}px`;
        element.style.top = `${element.klpTop - origin.y}px`;
      }
      (holder ? holder.element : client).append(element);
      if (c.kind === 'group') groups.push({ r, element });
      first ||= element.matches('button,label') ? (element.querySelector('input') || element) : null;
    }
    this.apply(d.checks);
    this.box.addEventListener('keydown', (e) => this.key(e));
    this.show();
    const [px, py, pw, ph] = d.placement;
    const width = this.box.offsetWidth;
    const height = this.box.offsetHeight;
    const at = d.centred ? [px + Math.trunc(pw / 2) - Math.trunc(width / 2), py + Math.trunc(ph / 2) - Math.trunc(height / 2)]
      : [px, py];
    this.place(...this.viewportPoint(...at));
    first?.focus({ preventScroll: true });
  }

  control(c, r, picture, radioName, groupId) {
    const text = plainText(c.text);
    switch (c.kind) {
      case 'group': {
        const group = document.createElement('div');
        group.className = 'klp-control klp-group';
        group.setAttribute('role', 'group');
        const frame = document.createElement('span');
        frame.className = 'klp-frame';
        frame.style.top = '0.6em';
        const legend = document.createElement('span');
        legend.className = 'klp-legend';
        legend.textContent = text;
        legend.id = groupId;
        group.setAttribute('aria-labelledby', legend.id);
        group.append(frame, legend);
        return group;
      }
      case 'check':
      case 'radio': {
        const label = document.createElement('label');
        label.className = 'klp-control';
        const input = document.createElement('input');
        input.type = c.kind === 'check' ? 'checkbox' : 'radio';
        if (c.kind === 'radio') input.name = radioName();
        input.addEventListener('change', () => this.input(WebEvent.DialogClick, c.id));
        label.append(input, text);
        this.checkables.set(c.id, input);
        return label;
      }
      case 'button':
      case 'default': {
        const button = document.createElement('button');
        button.type = 'button';
        button.className = c.kind === 'default' ? 'klp-control klp-default' : 'klp-control';
        button.textContent = text;
        button.klpId = c.id;
        button.addEventListener('click', () => this.input(WebEvent.DialogClick, c.id));
        return button;
      }
      case 'picture': {
        const canvas = document.createElement('canvas');
        canvas.className = 'klp-control';
        canvas.setAttribute('role', 'img');
        canvas.setAttribute('aria-hidden', 'true');
        if (picture) {
          canvas.width = picture.width;
          canvas.height = picture.height;
          canvas.getContext('2d').putImageData(new ImageData(picture.pixels, picture.width, picture.height), 0, 0);
        }
        // At its real size (with its 2-pixel frame); right-justified: its bottom right corner
        // stays at the control's.
        const w = canvas.width + 4;
        const h = canvas.height + 4;
        canvas.klpLeft = c.rightJust ? r.x + r.width - w : r.x;
        canvas.klpTop = c.rightJust ? r.y + r.height - h : r.y;
        return canvas;
      }
      default: {
        const div = document.createElement('div');
        div.className = 'klp-control';
        div.style.textAlign = c.align;
        div.textContent = text;
        return div;
      }
    }
  }

  // The check marks as the module keeps them (1 checked).
  apply(checks) {
    for (const [id, state] of Object.entries(checks || {})) {
      const input = this.checkables.get(Number(id));
      if (input) input.checked = state === 1;
    }
  }

  // Enter presses the default button unless a button has the focus; Escape goes to the module,
  // whose procedure decides what it means.
  key(e) {
    if (e.key === 'Escape') {
      e.preventDefault();
      this.input(WebEvent.DialogKey, 27);
    } else if (e.key === 'Enter' && !(e.target instanceof HTMLButtonElement)) {
      e.preventDefault();
      this.input(WebEvent.DialogKey, 13);
    }
  }
}
ModuleDialog.serial = 0;
