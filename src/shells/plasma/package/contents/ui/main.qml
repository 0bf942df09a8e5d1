// OrbalenStatus's title as text in the panel; a click opens its menu.
// The state comes from `orbalenstatus-query --next`, one run per change: each
// run waits (on the bus, without polling) for the next change from what is
// shown, prints it and ends, and is started again with what it printed.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQml 2.15
import org.kde.plasma.plasmoid 2.0
import org.kde.plasma.core 2.0 as PlasmaCore
import org.kde.plasma.components 2.0 as PlasmaComponents
import org.kde.plasma.components 3.0 as PlasmaComponents3
import "../code/status.js" as Status

Item {
    id: root

    property var state: ({})
    property string shown: ""  // the line `state` came from, exactly as printed
    property bool sinceWorks: true
    property int runs: 0
    readonly property string title: state.Title || ""

    Plasmoid.preferredRepresentation: Plasmoid.compactRepresentation
    Plasmoid.status: title || iconOnly ? PlasmaCore.Types.ActiveStatus : PlasmaCore.Types.HiddenStatus
    // Names come from the network: shown as text, never read as markup.
    Plasmoid.toolTipTextFormat: Text.PlainText
    Plasmoid.toolTipMainText: title
    Plasmoid.toolTipSubText: Status.tooltip(state)

    // Off unless asked for (QT_LOGGING_RULES="com.kestrune.orbalenstatus.info=true").
    LoggingCategory {
        id: trace
        name: "com.kestrune.orbalenstatus"
        defaultLogLevel: LoggingCategory.Warning
    }

    // With the program's "icon only" setting the title is empty: its icon
    // shows instead, so the menu stays in reach.
    readonly property bool iconOnly: state.IconOnly === "true"

    Plasmoid.compactRepresentation: MouseArea {
        id: compact
        // Nothing at all while the program is not running.
        Layout.minimumWidth: root.iconOnly ? height : label.implicitWidth
        Layout.preferredWidth: Layout.minimumWidth
        onClicked: root.openMenu(compact)

        PlasmaComponents3.Label {
            id: label
            anchors.fill: parent
            text: root.title
            textFormat: Text.PlainText
            verticalAlignment: Text.AlignVCenter
            onTextChanged: console.info(trace, "label:", JSON.stringify(text))
        }
        PlasmaCore.IconItem {
            anchors.fill: parent
            source: "orbalenstatus-panel"
            visible: root.iconOnly
        }
    }

    PlasmaComponents.Menu {
        id: menu
        property var made: []
    }

    Component {
        id: menuItem
        PlasmaComponents.MenuItem {}
    }

    PlasmaCore.DataSource {
        id: runner
        engine: "executable"
        onNewData: {
            disconnectSource(sourceName);
            if (sourceName === watching.command) {
                root.received(data["exit code"], data.stdout, data.stderr);
            } else if (data["exit code"] !== 0) {
                console.warn("OrbalenStatus:", data.stderr.trim());
            }
        }
    }

    // The run now waiting, and a pause before trying again after a failure
    // (the bus unreachable, the tool missing), so a failing tool never spins:
    // 10 s, doubling up to 10 minutes while it keeps failing.
    QtObject {
        id: watching
        property string command: ""
    }
    Timer {
        id: retry
        interval: 10000
        onTriggered: {
            interval = Math.min(interval * 2, 600000);
            root.watch();
        }
    }

    function run(command) {
        runner.connectSource(command);
        return command;
    }

    function watch() {
        watching.command = run(Status.watchCommand(shown, ++runs, sinceWorks));
    }

    function received(exitCode, output, errors) {
        var line = output.replace(/\n$/, "");
        var next = exitCode === 0 ? Status.parsed(line) : null;
        if (next === null) {
            console.warn("OrbalenStatus: no state from", Status.tool, "(exit code", exitCode + ")",
                         JSON.stringify(output), errors.trim());
            retry.start();
            return;
        }
        retry.interval = 10000;
        // The tool prints only what differs from --since; the same line back
        // means the text did not reach it intact (the locale, say), so wait
        // for changes without it rather than ask again and again.
        sinceWorks = line !== shown;
        shown = line;
        state = next;
        watch();
    }

    function openMenu(visualParent) {
        menu.made.forEach(function(item) { item.destroy(); });
        menu.clearMenuItems();
        var made = [];
        Status.entries(state).forEach(function(entry) {
            var item = menuItem.createObject(menu, {
                text: entry.text || "", separator: entry.separator === true,
                enabled: entry.method !== undefined});
            if (entry.method) {
                item.clicked.connect(function() {
                    run(Status.callCommand(entry.method, entry.argument, ++runs));
                });
            }
            menu.addMenuItem(item);
            made.push(item);
        });
        menu.made = made;
        menu.visualParent = visualParent;
        menu.openRelative();
        // The program looks the external address and names up again, as it
        // does when its own menu opens; the next opening shows the answer.
        run(Status.callCommand("MenuWillOpen", undefined, ++runs));
    }

    Component.onCompleted: watch()
}
