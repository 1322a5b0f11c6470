// The hidden frame that carries out saved-views actions. Its page runs the
// action on the server, shows a refusal in an alert, refills the parameters
// pane's folder and view lists through populate(), and then calls
// resetWindow().

// Clears what the pane's saved-views form carried for the action just done
// (the view definition may be large, and a stale action must not be posted
// again), tells the pane that its saved-views buttons may be used again, and
// clears the status bar of this frame.
function resetWindow() {
    var pane = getFrame('paramsBody');
    var form = getFrameForm('paramsBody', 'frmBookmarks');
    if (form != null) {
        var fields = ['actionID', 'new_name', 'view_xml'];
        for (var index = 0; index < fields.length; index++) {
            var field = form.elements[fields[index]];
            if (field) field.value = '';
        }
    }
    try {
        if (pane != null && typeof pane.savedViewsDone == 'function') pane.savedViewsDone();
    } catch (e) {
        // The pane is being reloaded; it starts afresh anyway.
    }
    window.status = '';
}
