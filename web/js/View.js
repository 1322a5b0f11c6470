// The view body: the table of a cube view. Its headings and cells call
// performAction and toggleHighlight; the page's own synchronize() fills the
// parameters pane from the view (with createOption, selectValue and delim()
// of ListBox.js).

// The view's form, which carries the whole state of the view back to the server.
function getViewForm() {
    return document.forms['frmInterface'];
}

// Sets the fields of the view's form that `values` names and posts the form,
// so that the server rebuilds the view and applies what the fields say.
function submitView(values) {
    var form = getViewForm();
    if (form == null) return;
    for (var name in values) {
        if (form.elements[name]) form.elements[name].value = values[name];
    }
    window.status = messages.loading;
    form.submit();
}

// Carries out a heading action on the server: 1 expand, 2 collapse, 3
// isolate, 4 remove (position -1: the whole level), 5 a new measure, 6 new
// ranges, 7 new axes (the last three with their definition in `value`).
function performAction(action, axis, hierarchy, level, position, value) {
    submitView({
        actionID: action,
        axisID: axis,
        hierarchyID: hierarchy,
        levelID: level,
        positionID: position,
        value: value
    });
}

// Highlights the column and row of a cell, or takes the highlight away when
// that cell is the highlighted one (row -1 in a view of one axis).
function toggleHighlight(column, row) {
    var form = getViewForm();
    if (form == null) return;
    var same = form.elements['axis0_highlight'].value == String(column) &&
        form.elements['axis1_highlight'].value == String(row);
    submitView({
        actionID: '',
        axis0_highlight: same ? -1 : column,
        axis1_highlight: same ? -1 : row
    });
}
