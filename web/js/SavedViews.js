// The hidden frame that carries out saved-views actions. Its page runs the
// action on the server, shows a refusal in an alert, refills the parameters
// pane's folder and view lists through populate(), and then calls
// resetWindow().

// The folder that holds the folder `path` ('' for the root); null for the root itself.
function parentFolder(path) {
    if (path == '') return null;
    var slash = path.lastIndexOf('/');
    return slash < 0 ? '' : path.substring(0, slash);
}

// Ends a saved-views action. Clears what the pane's saved-views form carried
// for it (the view definition may be large, and a stale action must not be
// posted again) and tells the pane that it is done (savedViewsDone(), when
// the pane has one). After a folder was deleted the lists show only the root,
// because the folder they were asked to show is gone: its parent is opened
// instead, so that the folders around it stay in sight.
function resetWindow() {
    var form = getFrameForm('paramsBody', 'frmBookmarks');
    var reopen = null;
    if (form != null) {
        var action = String(form.elements['actionID'].value).toLowerCase();
        if (action == 'delete_folder') reopen = parentFolder(form.elements['folder'].value);
        var fields = ['actionID', 'new_name', 'view_xml'];
        for (var index = 0; index < fields.length; index++) form.elements[fields[index]].value = '';
    }
    var pane = getFrame('paramsBody');
    try {
        if (pane != null && typeof pane.savedViewsDone == 'function') pane.savedViewsDone();
    } catch (e) {
        // The pane is being reloaded; it starts afresh anyway.
    }
    window.status = '';
    if (reopen != null) {
        form.elements['folder'].value = reopen;
        form.elements['view'].value = '';
        form.submit();
    }
}
