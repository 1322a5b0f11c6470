// The title bar of the parameters pane.

// Brings the parameters pane in step with the view body: the view body's own
// synchronize() fills the pane's lists from the view it shows.
function synchronize() {
    var viewBody = getFrame('viewBody');
    var ready = false;
    try {
        ready = viewBody != null && viewBody.loaded === true && typeof viewBody.synchronize == 'function';
    } catch (e) {
        ready = false;
    }
    if (ready) {
        viewBody.synchronize();
    } else {
        alert(messages.noViewToSynchronize);
    }
}
