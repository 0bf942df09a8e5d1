// The OrbalenStatus button in GNOME Shell's top bar: the program's title as
// text (its icon when the program shows an icon only), and a menu with what
// the program's status menu offers. Everything comes from the running
// program's session-bus interface and follows its PropertiesChanged signals;
// nothing polls. While the program is not running the button hides.
//
// Written as a plain script so GNOME 43 and 44 can load it with their
// legacy imports; the build appends an export line for 45 and later. The
// shell's libraries are handed in, since the two kinds of entry file reach
// them differently.
'use strict';

const kBusName = 'com.kestrune.OrbalenStatus';
const kObjectPath = '/com/kestrune/OrbalenStatus';
const kInterface = 'com.kestrune.OrbalenStatus1';
// Owned while the button exists: the program then shows no panel item of
// its own. Queued, so several owners can wait in line.
const kLabelName = 'com.kestrune.OrbalenStatus.Label';
const kIconName = 'orbalenstatus-panel-symbolic';

// A GType is registered once per shell process, though the extension may be
// enabled and disabled many times.
let OrbalenButtonClass = null;

function orbalenButtonClass(lib) {
    if (OrbalenButtonClass)
        return OrbalenButtonClass;
    const {Clutter, Gio, GObject, PanelMenu, PopupMenu, St} = lib;
    OrbalenButtonClass = GObject.registerClass(
        class OrbalenStatusButton extends PanelMenu.Button {
            _init(proxy) {
                super._init(0.0, 'OrbalenStatus');
                this._proxy = proxy;
                const box = new St.BoxLayout({style_class: 'panel-status-menu-box'});
                this._icon = new St.Icon({icon_name: kIconName, style_class: 'system-status-icon'});
                this._label = new St.Label({text: '', y_align: Clutter.ActorAlign.CENTER});
                box.add_child(this._icon);
                box.add_child(this._label);
                this.add_child(box);

                this._infoSection = new PopupMenu.PopupMenuSection();
                this._addressSection = new PopupMenu.PopupMenuSection();
                this.menu.addMenuItem(this._infoSection);
                this.menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                this.menu.addMenuItem(this._addressSection);
                this.menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                this._command('Preferences...', 'ShowPreferences');
                this._command('Console Log...', 'OpenLog');
                this.menu.addMenuItem(new PopupMenu.PopupSeparatorMenuItem());
                this._command('About OrbalenStatus', 'ShowAbout');
                this._command('Quit', 'Quit');
                // The program looks the external address and its name up
                // again as a menu opens, as it does for its own menu.
                this.menu.connect('open-state-changed', (menu, open) => {
                    if (open)
                        this._call('MenuWillOpen');
                });
                this.refresh();
            }

            _text(name) {
                const value = this._proxy.get_cached_property(name);
                return value ? value.deepUnpack() : null;
            }

            // Shows the program's state as the proxy holds it now.
            refresh() {
                this.visible = this._proxy.g_name_owner !== null;
                const title = this._text('Title') || '';
                const iconOnly = this._text('IconOnly') === true;
                this._label.text = iconOnly ? '' : title;
                this._label.visible = !iconOnly && title !== '';
                this._icon.visible = !this._label.visible;

                this._infoSection.removeAll();
                this._copyItem(this._infoSection, this._text('InternalName'), 'DNS name unavailable');
                this._copyItem(this._infoSection, this._text('ExternalAddress'),
                    'External IP unavailable');
                this._copyItem(this._infoSection, this._text('ExternalName'),
                    'External DNS name unavailable');
                this._addressSection.removeAll();
                const heading = new PopupMenu.PopupMenuItem('All local Addresses:',
                    {reactive: false});
                this._addressSection.addMenuItem(heading);
                for (const address of this._text('Addresses') || [])
                    this._copyItem(this._addressSection, address, '');
            }

            // An item that copies text when chosen, or shows missing greyed.
            _copyItem(section, text, missing) {
                const item = new PopupMenu.PopupMenuItem(text || missing, {reactive: !!text});
                if (text) {
                    item.connect('activate', () => {
                        St.Clipboard.get_default().set_text(St.ClipboardType.CLIPBOARD, text);
                    });
                }
                section.addMenuItem(item);
            }

            _command(title, method) {
                const item = new PopupMenu.PopupMenuItem(title);
                item.connect('activate', () => this._call(method));
                this.menu.addMenuItem(item);
            }

            _call(method) {
                // Each method returns at once; an absent program is no error
                // worth telling.
                this._proxy.call(method, null, Gio.DBusCallFlags.NO_AUTO_START, -1, null,
                    null);
            }
        });
    return OrbalenButtonClass;
}

// The extension's life: enable() makes the button once the bus proxy is
// ready, disable() takes everything away again.
function makeOrbalenExtension(lib) {
    const {Gio, Main} = lib;
    let cancellable = null;
    let proxy = null;
    let button = null;
    let signals = [];
    let labelOwnerId = 0;

    function proxyReady(source, result) {
        try {
            proxy = Gio.DBusProxy.new_for_bus_finish(result);
        } catch (e) {
            if (!e.matches(Gio.IOErrorEnum, Gio.IOErrorEnum.CANCELLED))
                logError(e, 'OrbalenStatus: no session bus proxy');
            return;
        }
        const Button = orbalenButtonClass(lib);
        button = new Button(proxy);
        // The proxy fetches every property again when the program starts,
        // and drops them when it ends; both come as these signals.
        signals = [
            proxy.connect('g-properties-changed', () => button.refresh()),
            proxy.connect('notify::g-name-owner', () => button.refresh()),
        ];
        Main.panel.addToStatusArea(lib.uuid, button);
        labelOwnerId = Gio.bus_own_name(Gio.BusType.SESSION, kLabelName,
            Gio.BusNameOwnerFlags.NONE, null, null, null);
    }

    return {
        enable() {
            cancellable = new Gio.Cancellable();
            Gio.DBusProxy.new_for_bus(Gio.BusType.SESSION, Gio.DBusProxyFlags.DO_NOT_AUTO_START,
                null, kBusName, kObjectPath, kInterface, cancellable, proxyReady);
        },
        disable() {
            cancellable.cancel();
            cancellable = null;
            if (labelOwnerId)
                Gio.bus_unown_name(labelOwnerId);
            labelOwnerId = 0;
            for (const id of signals)
                proxy.disconnect(id);
            signals = [];
            proxy = null;
            if (button)
                button.destroy();
            button = null;
        },
    };
}
