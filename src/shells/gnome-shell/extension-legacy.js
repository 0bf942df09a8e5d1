// Entry file for GNOME Shell 43 and 44, installed as extension.js.
'use strict';

const {Clutter, Gio, GObject, St} = imports.gi;
const ExtensionUtils = imports.misc.extensionUtils;
const Main = imports.ui.main;
const PanelMenu = imports.ui.panelMenu;
const PopupMenu = imports.ui.popupMenu;

function init() {
    const Me = ExtensionUtils.getCurrentExtension();
    return Me.imports.core.makeOrbalenExtension(
        {Clutter, Gio, GObject, St, Main, PanelMenu, PopupMenu, uuid: Me.metadata.uuid});
}
