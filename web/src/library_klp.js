// What the module imports from the page: the media element (platform/webgraph), the area's
// cursor, menu and dialogs (platform/npdesk). Each call is handed to the host object given to the module factory
// as Module.klpHost (host.js).
mergeInto(LibraryManager.library, {
  klp_media_open: function (path, width, height, duration, status) {
    return Module['klpHost'].mediaOpen(UTF8ToString(path), width, height, duration, status);
  },
  klp_media_play: function (id) { Module['klpHost'].media(id, 'play'); },
  klp_media_pause: function (id) { Module['klpHost'].media(id, 'pause'); },
  klp_media_seek: function (id, seconds, serial) {
    Module['klpHost'].media(id, 'seek', seconds, serial >>> 0);
  },
  klp_media_place: function (id, left, top, width, height, visible) {
    Module['klpHost'].media(id, 'place', left, top, width, height, visible !== 0);
  },
  klp_media_sprite: function (id, index, rgba, width, height) {
    Module['klpHost'].media(id, 'sprite', index, rgba, width, height);
  },
  klp_media_sprites: function (id, positions, count) {
    Module['klpHost'].media(id, 'sprites', positions, count);
  },
  klp_media_close: function (id) { Module['klpHost'].media(id, 'close'); },
  klp_area_cursor: function (instance, kind, rgba, size, hotX, hotY) {
    Module['klpHost'].areaCursor(instance, kind, rgba, size, hotX, hotY);
  },
  klp_show_menu: function (instance, x, y, items) {
    Module['klpHost'].modal(instance, 'showMenu', x, y, JSON.parse(UTF8ToString(items)));
  },
  klp_show_dialog: function (instance, description, rgba, width, height) {
    const picture = rgba ? {
      width, height, pixels: new Uint8ClampedArray(HEAPU8.slice(rgba, rgba + width * height * 4)),
    } : null;
    Module['klpHost'].modal(instance, 'showDialog', JSON.parse(UTF8ToString(description)), picture);
  },
  klp_dialog_checks: function (instance, states) {
    Module['klpHost'].modal(instance, 'dialogChecks', JSON.parse(UTF8ToString(states)));
  },
  klp_modal_closed: function (instance) { Module['klpHost'].modal(instance, 'modalClosed'); },
  klp_area_focus: function (instance, x, y, width, height, ellipse, name) {
    Module['klpHost'].modal(instance, 'showFocus', x, y, width, height, ellipse !== 0, UTF8ToString(name));
  },
  klp_area_passed: function (instance, kind, name) {
    Module['klpHost'].modal(instance, 'passed', UTF8ToString(kind), UTF8ToString(name));
  },
});
