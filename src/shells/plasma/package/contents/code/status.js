// What the applet shows and runs, kept apart from the QML so the view stays
// small. The state is the object `orbalenstatus-query --json` prints; {} (or
// one with an empty Title) while the program is not running.
.pragma library

var tool = "orbalenstatus-query";

// One argument for `sh -c`, whatever the text holds.
function quoted(text) {
    return "'" + String(text).replace(/'/g, "'\\''") + "'";
}

// Waits for the next change from `shown` (the line on show, "" at first:
// then the current state comes at once). The run number only makes each
// command unique: the data engine keys its sources by the command, and a
// source just let go may still hold the previous run's answer.
function watchCommand(shown, run, withSince) {
    return "exec " + tool + " --next --json" + (withSince ? " --since " + quoted(shown) : "") +
           " # " + run;
}

function callCommand(method, argument, run) {
    return "exec " + tool + " --call " + method +
           (argument === undefined ? "" : " " + quoted(argument)) + " # " + run;
}

// The state in a printed line; null when it is not one (and says why).
function parsed(line) {
    try {
        var state = JSON.parse(line);
        return typeof state === "object" && state !== null ? state : null;
    } catch (error) {
        return null;
    }
}

function tooltip(state) {
    return state.tooltip || "";
}

// The menu, as the program's own status menu has it: each entry
// {text, method, argument} (a copy when argument is set; none: disabled) or
// {separator}.
function entries(state) {
    function copy(value, unavailable) {
        return value ? {text: value, method: "CopyToClipboard", argument: value}
                     : {text: unavailable};
    }
    var list = [copy(state.InternalName, "DNS name unavailable"),
                copy(state.ExternalAddress, "External IP unavailable"),
                copy(state.ExternalName, "External DNS name unavailable"),
                {separator: true}, {text: "All local Addresses:"}];
    (state.Addresses || []).forEach(function(address) {
        list.push(copy(address, ""));
    });
    return list.concat([{separator: true},
                        {text: "Preferences...", method: "ShowPreferences"},
                        {text: "Console Log...", method: "OpenLog"},
                        {separator: true},
                        {text: "About OrbalenStatus", method: "ShowAbout"},
                        {text: "Quit", method: "Quit"}]);
}
