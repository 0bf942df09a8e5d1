// Entry file for GNOME Shell 45 and later, installed as extension.js.
import Clutter from 'gi://Clutter';
import Gio from 'gi://Gio';
import GObject from 'gi://GObject';
import St from 'gi://St';

import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';
import * as Main from 'resource:///org/gnome/shell/ui/main.js';
import * as PanelMenu from 'resource:///org/gnome/shell/ui/panelMenu.js';
import * as PopupMenu from 'resource:///org/gnome/shell/ui/popupMenu.js';

import {makeOrbalenExtension} from './core.js';

export default class OrbalenStatusExtension extends Extension {
    enable() {
        this._core = makeOrbalenExtension(
            {Clutter, Gio, GObject, St, Main, PanelMenu, PopupMenu, uuid: this.uuid});
        this._core.enable();
    }

    disable() {
        this._core.disable();
        this._core = null;
    }
}
