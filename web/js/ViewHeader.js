// The bar above the view body: history links and snapshots.

// Copies the view body's current view into the snapshot form and posts it to
// a new window, as a static table or as XML after the chosen format.
function takeSnapshot() {
    var snapshot = document.forms['frmSnapshot'];
    var view = getFrameForm('viewBody', 'frmInterface');
    if (view == null || getFieldValue(view, 'xml') == '') {
        alert(messages.noViewToSnapshot);
        return;
    }
    snapshot.elements['xml'].value = getFieldValue(view, 'xml');
    snapshot.elements['split_headings'].value = getFieldValue(view, 'split_headings');
    snapshot.elements['display_filter'].value = getFieldValue(view, 'display_filter');
    snapshot.submit();
}
