// Helpers that every frame of the explorer loads.

// Shows a text in the status bar. Returns true, which link handlers pass on
// so that the browser keeps the text instead of showing the link's address.
function changeStatus(text) {
    window.status = text;
    return true;
}

// The frame of the explorer named `name` (header, paramsHeader, paramsBody,
// viewHeader, viewBody, hidden), or null when this page stands alone.
function getFrame(name) {
    try {
        var frame = top.frames[name];
        return frame ? frame : null;
    } catch (e) {
        return null;
    }
}

// The form `formName` of the frame `frameName` once that frame has loaded it, else null.
function getFrameForm(frameName, formName) {
    var frame = getFrame(frameName);
    if (frame == null) return null;
    try {
        var form = frame.document.forms[formName];
        return form ? form : null;
    } catch (e) {
        return null;
    }
}

// The value of the element `name` of `form`, or '' when the form has none.
function getFieldValue(form, name) {
    var element = form ? form.elements[name] : null;
    return element ? element.value : '';
}
