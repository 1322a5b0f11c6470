// The parameters pane: the form in which the user picks a data source,
// catalog, cube and measure, arranges hierarchies on the axes, edits colour
// ranges and manages saved views. The view body fills the pane through its
// synchronize() (which calls resetInterface, buildRangeListOption,
// updateGroupedCheckBox, populateRangeFields and the list helpers of
// ListBox.js); the pane sends the user's choices to the view body by posting
// them to the view page in the frame named viewBody.

// The colour codes (0x00BBGGRR) of the values of the colour list.
var rangeColours = {
    '0': 0, '-1': -1, '1': 16711680, '2': 8421504, '3': 65280,
    '4': 16711935, '5': 255, '6': 15631086, '7': 65535
};

// An element of the pane's form, or null when its section is not shown.
function paneElement(name) {
    var form = document.forms['frmInterface'];
    var element = form ? form.elements[name] : null;
    return element ? element : null;
}

// The view page's own address: the pane is served by the same page.
function viewPageAddress() {
    return window.location.pathname + '?id=1';
}

// The view body's form, once the view body shows a view page; else null.
function currentViewForm() {
    var viewBody = getFrame('viewBody');
    try {
        if (viewBody == null || viewBody.loaded !== true) return null;
    } catch (e) {
        return null;
    }
    return getFrameForm('viewBody', 'frmInterface');
}

// The definition of the view the view body shows; '' when there is none.
function currentViewDefinition() {
    return getFieldValue(currentViewForm(), 'xml');
}

// Posts `fields` to the view page in the view body, with the view's display
// options and highlights carried over from the view body where it has them.
// Works whatever the view body shows, an error message included.
function postToView(fields) {
    var view = currentViewForm();
    var values = {
        xml: '', data_source: '', provider: '', catalog: '', cube: '', measure: '',
        actionID: '', axisID: '', hierarchyID: '', levelID: '', positionID: '', value: '',
        split_headings: getFieldValue(view, 'split_headings'),
        display_filter: getFieldValue(view, 'display_filter'),
        axis0_highlight: getFieldValue(view, 'axis0_highlight') || '-1',
        axis1_highlight: getFieldValue(view, 'axis1_highlight') || '-1'
    };
    for (var name in fields) values[name] = fields[name];

    var form = document.createElement('form');
    form.method = 'post';
    form.action = viewPageAddress();
    form.target = 'viewBody';
    form.style.display = 'none';
    for (var field in values) {
        var input = document.createElement('input');
        input.type = 'hidden';
        input.name = field;
        input.value = values[field] == null ? '' : String(values[field]);
        form.appendChild(input);
    }
    document.body.appendChild(form);
    form.submit();
    document.body.removeChild(form);
    changeStatus(messages.loading);
}

// The connection of the view body's view: its data source and provider.
function currentConnection() {
    var view = currentViewForm();
    var dataSource = getFieldValue(view, 'data_source');
    var box = paneElement('txtDataSource');
    if (dataSource == '' && box != null) dataSource = box.value;
    return { data_source: dataSource, provider: getFieldValue(view, 'provider') };
}

// Applies the data source typed in the box: its first catalog is opened.
function submitDataSource() {
    var box = paneElement('txtDataSource');
    var name = box ? box.value.replace(/^\s+|\s+$/g, '') : '';
    if (name == '') {
        alert(messages.enterDataSource);
        return;
    }
    postToView({ data_source: name, provider: currentConnection().provider });
}

function submitCatalog() {
    var connection = currentConnection();
    connection.catalog = selectedValue(paneElement('lbxCatalog')) || '';
    postToView(connection);
}

// Opens a new view of the chosen cube, with its default measure and no axes.
function submitCube() {
    var connection = currentConnection();
    connection.catalog = selectedValue(paneElement('lbxCatalog')) || getFieldValue(currentViewForm(), 'catalog');
    connection.cube = selectedValue(paneElement('lbxCube')) || '';
    postToView(connection);
}

// Shows the view with the chosen measure, keeping its axes and ranges.
function submitMeasure() {
    var measure = selectedValue(paneElement('lbxMeasure'));
    if (measure == null) return;
    var definition = currentViewDefinition();
    if (definition == '') {
        var connection = currentConnection();
        connection.catalog = selectedValue(paneElement('lbxCatalog')) || '';
        connection.cube = selectedValue(paneElement('lbxCube')) || '';
        connection.measure = measure;
        postToView(connection);
        return;
    }
    postToView({ xml: definition, actionID: 5, value: measure });
}

// Moves the hierarchies selected in the list of unused hierarchies to an axis list.
function moveToAxis(axis) {
    if (moveSelectedOptions(paneElement('lbxAvailable'), paneElement('lbxAxis' + axis)) == 0) {
        alert(messages.selectHierarchy);
    }
}

// Moves the hierarchies selected in an axis list back to the unused ones.
function moveFromAxis(axis) {
    var available = paneElement('lbxAvailable');
    if (moveSelectedOptions(paneElement('lbxAxis' + axis), available) == 0) {
        alert(messages.selectHierarchy);
        return;
    }
    sortOptions(available);
}

function moveToAxis0() { moveToAxis(0); }
function moveFromAxis0() { moveFromAxis(0); }
function moveToAxis1() { moveToAxis(1); }
function moveFromAxis1() { moveFromAxis(1); }

// Grouping by level only means something for a sorted axis.
function updateGroupedCheckBox(axis) {
    var sort = paneElement('lbxAxis' + axis + 'Sort');
    var grouped = paneElement('chkAxis' + axis + 'Grouped');
    if (sort == null || grouped == null) return;
    grouped.disabled = selectedValue(sort) == '0' || selectedValue(sort) == null;
}

// `text` made safe for an XML attribute value or element text.
function xmlText(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
        .replace(/"/g, '&quot;').replace(/'/g, '&apos;');
}

function checked(name) {
    var box = paneElement(name);
    return box != null && box.checked ? 'true' : 'false';
}

// The axis element of the hierarchies in the list of axis `axis`, with that
// axis's options; '' when the list is empty.
function axisDefinition(axis) {
    var list = paneElement('lbxAxis' + axis);
    if (list == null || list.options.length == 0) return '';
    var sort = selectedValue(paneElement('lbxAxis' + axis + 'Sort')) || '0';
    var xml = '<axis sortOrder="' + xmlText(sort) + '" groupByLevel="' + checked('chkAxis' + axis + 'Grouped') +
        '" showEmpty="' + checked('chkAxis' + axis + 'ShowEmpty') +
        '" showTotalsOnExpand="' + checked('chkAxis' + axis + 'ShowTotals') + '">';
    for (var index = 0; index < list.options.length; index++) {
        var names = list.options[index].value.split(delim());
        xml += '<hierarchy dimensionName="' + xmlText(names[0]) + '" hierarchyName="' +
            xmlText(names.length > 1 ? names[1] : '') + '"/>';
    }
    return xml + '</axis>';
}

// Shows the view with the hierarchies of the axis lists on its axes (an
// empty column list leaves the row list as the only axis), with the options
// of the axes and of the table.
function submitAxes() {
    var definition = currentViewDefinition();
    if (definition == '') {
        alert(messages.noView);
        return;
    }
    postToView({
        xml: definition,
        actionID: 7,
        value: '<axes>' + axisDefinition(0) + axisDefinition(1) + '</axes>',
        split_headings: checked('chkSplitHeadings'),
        display_filter: checked('chkDisplayFilter'),
        axis0_highlight: -1,
        axis1_highlight: -1
    });
}

// The name of colour code `colour` as the colour list shows it.
function colourName(colour) {
    var list = paneElement('lbxColour');
    for (var value in rangeColours) {
        if (rangeColours[value] != colour || list == null) continue;
        for (var index = 0; index < list.options.length; index++) {
            if (list.options[index].value == value) return list.options[index].text;
        }
    }
    return messages.colourCode.replace('{0}', colour);
}

// An option of the range list for one range; a null bound is no bound. Its
// value holds floor, ceiling and colour code, split by delim().
function buildRangeListOption(floor, ceiling, colour) {
    var bounds;
    if (floor == null && ceiling == null) {
        bounds = messages.rangeAllValues;
    } else if (ceiling == null) {
        bounds = messages.rangeAtLeast.replace('{0}', floor);
    } else if (floor == null) {
        bounds = messages.rangeAtMost.replace('{0}', ceiling);
    } else {
        bounds = messages.rangeBetween.replace('{0}', floor).replace('{1}', ceiling);
    }
    var value = (floor == null ? '' : floor) + delim() + (ceiling == null ? '' : ceiling) + delim() + colour;
    return createOption(document, bounds + ': ' + colourName(colour), value);
}

// The floor, ceiling and colour code of an option of the range list.
function rangeOfOption(option) {
    var parts = option.value.split(delim());
    return { floor: parts[0], ceiling: parts[1], colour: Number(parts[2]) };
}

// Shows the selected range in the fields; empty fields when none is selected.
function populateRangeFields() {
    var list = paneElement('lbxRanges');
    var from = paneElement('txtFrom');
    var to = paneElement('txtTo');
    var colours = paneElement('lbxColour');
    if (from == null || to == null || colours == null) return;
    if (list == null || list.selectedIndex < 0) {
        from.value = '';
        to.value = '';
        colours.selectedIndex = 0;
        return;
    }
    var range = rangeOfOption(list.options[list.selectedIndex]);
    from.value = boundText(range.floor);
    to.value = boundText(range.ceiling);
    colours.selectedIndex = 0;
    for (var index = 0; index < colours.options.length; index++) {
        if (rangeColours[colours.options[index].value] == range.colour) colours.selectedIndex = index;
    }
}

// A bound typed in a field: null for an empty field, NaN for what is no
// number. It is read as the page's language writes numbers: a decimal
// separator and, optionally, group separators between every three digits of
// the whole part ("1,234.5" in English, "1.234,5" in Dutch); an exponent may follow.
function readBound(field) {
    var text = field.value.replace(/^\s+|\s+$/g, '');
    if (text == '') return null;
    var decimal = escapeRegExp(messages.decimalSeparator || '.');
    var group = escapeRegExp(messages.groupSeparator || ',');
    var pattern = new RegExp('^([-+]?)(\\d{1,3}(?:' + group + '\\d{3})+|\\d*)(?:' + decimal +
        '(\\d*))?([eE][-+]?\\d+)?$');
    var parts = pattern.exec(text);
    if (parts == null || (parts[2] == '' && !parts[3])) return NaN;
    var whole = parts[2].split(messages.groupSeparator || ',').join('');
    var number = Number(parts[1] + (whole == '' ? '0' : whole) + '.' + (parts[3] || '0') + (parts[4] || ''));
    return isFinite(number) ? number : NaN;
}

// A bound as the fields show it: in the page's language, without group separators.
function boundText(bound) {
    return String(bound).replace('.', messages.decimalSeparator || '.');
}

function escapeRegExp(text) {
    return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

// The range that the fields describe, or null (after telling the user why)
// when a bound is no number or the floor lies above the ceiling.
function rangeOfFields() {
    var from = paneElement('txtFrom');
    var to = paneElement('txtTo');
    var floor = readBound(from);
    var ceiling = readBound(to);
    if (isNaN(floor) && floor != null) {
        alert(messages.invalidNumber);
        from.focus();
        return null;
    }
    if (isNaN(ceiling) && ceiling != null) {
        alert(messages.invalidNumber);
        to.focus();
        return null;
    }
    if (floor != null && ceiling != null && floor > ceiling) {
        alert(messages.invalidRange);
        from.focus();
        return null;
    }
    var colour = rangeColours[selectedValue(paneElement('lbxColour')) || '0'];
    return { floor: floor, ceiling: ceiling, colour: colour };
}

// Edits the range list: 'add' the range of the fields, 'change' the selected
// range to it, 'delete' the selected range, 'clear' every range.
function changeRanges(action) {
    var list = paneElement('lbxRanges');
    if (list == null) return;
    if (action == 'clear') {
        removeAllOptions(list);
        populateRangeFields();
        return;
    }
    if ((action == 'change' || action == 'delete') && list.selectedIndex < 0) {
        alert(messages.selectRange);
        return;
    }
    if (action == 'delete') {
        list.remove(list.selectedIndex);
        populateRangeFields();
        return;
    }
    var range = rangeOfFields();
    if (range == null) return;
    var option = buildRangeListOption(range.floor, range.ceiling, range.colour);
    if (action == 'change') {
        list.options[list.selectedIndex] = option;
    } else {
        list.options[list.options.length] = option;
    }
    option.selected = true;
}

// Shows the view with the ranges of the range list, in the list's order (a
// value takes the colour of the last range that holds it).
function submitRanges() {
    var definition = currentViewDefinition();
    if (definition == '') {
        alert(messages.noView);
        return;
    }
    var list = paneElement('lbxRanges');
    var xml = '<ranges>';
    for (var index = 0; list != null && index < list.options.length; index++) {
        var range = rangeOfOption(list.options[index]);
        xml += '<range><floor>' + xmlText(range.floor) + '</floor><ceiling>' + xmlText(range.ceiling) +
            '</ceiling><colour>' + range.colour + '</colour></range>';
    }
    postToView({ xml: definition, actionID: 6, value: xml + '</ranges>' });
}

// Empties what synchronize() fills and sets the options back to their
// defaults. The data source box keeps its text, so that a name that could
// not be opened can be corrected.
function resetInterface() {
    var lists = ['lbxCatalog', 'lbxCube', 'lbxMeasure', 'lbxAvailable', 'lbxAxis0', 'lbxAxis1', 'lbxRanges'];
    for (var index = 0; index < lists.length; index++) removeAllOptions(paneElement(lists[index]));
    for (var axis = 0; axis < 2; axis++) {
        selectValue(paneElement('lbxAxis' + axis + 'Sort'), '0', true);
        var boxes = ['Grouped', 'ShowEmpty', 'ShowTotals'];
        for (var box = 0; box < boxes.length; box++) {
            var element = paneElement('chkAxis' + axis + boxes[box]);
            if (element != null) element.checked = true;
        }
        updateGroupedCheckBox(axis);
    }
    var options = ['chkSplitHeadings', 'chkDisplayFilter'];
    for (var option = 0; option < options.length; option++) {
        var check = paneElement(options[option]);
        if (check != null) check.checked = false;
    }
    populateRangeFields();
}

// Fills the pane from the view body, when it shows a view; otherwise the
// view body fills the pane itself once it has loaded.
function synchronize() {
    var viewBody = getFrame('viewBody');
    try {
        if (viewBody != null && viewBody.loaded === true && typeof viewBody.synchronize == 'function') {
            viewBody.synchronize();
        }
    } catch (e) {
        // The view body is loading; its own script fills the pane.
    }
}

// The message for a hidden frame that loaded something other than the
// saved-views page: the server refused the action before any page ran
// (too large a view, or sent by another site), or could not be reached.
function savedViewsFailure(frame) {
    var text = '';
    try {
        text = String(frame.document.body ? frame.document.body.textContent : '');
    } catch (e) {
        text = '';
    }
    if (text.indexOf('413') == 0) return messages.requestTooLarge;
    if (text.indexOf('403') == 0) return messages.actionRefused;
    return messages.actionFailed;
}

// Watches the hidden frame's next load: when it holds something other than
// the saved-views page (whose script defines resetWindow), the action did not
// happen and the user is told so, instead of a save that is silently lost.
function watchSavedViews(action) {
    var element = null;
    try {
        var frame = getFrame('hidden');
        element = frame ? frame.frameElement : null;
    } catch (e) {
        element = null;
    }
    if (element == null || action == '') return;
    element.addEventListener('load', function check() {
        element.removeEventListener('load', check);
        var hidden = getFrame('hidden');
        var ours = false;
        try {
            ours = hidden != null && typeof hidden.resetWindow == 'function';
        } catch (e) {
            ours = false;
        }
        if (!ours) alert(savedViewsFailure(hidden));
    });
}

// Posts a saved-views action to the hidden frame, which carries it out and
// refills the folder and view lists.
function postSavedViews(action, folder, view, newName, viewXml) {
    var form = document.forms['frmBookmarks'];
    form.elements['actionID'].value = action;
    form.elements['folder'].value = folder;
    form.elements['view'].value = view;
    form.elements['new_name'].value = newName;
    form.elements['view_xml'].value = viewXml;
    watchSavedViews(action);
    form.submit();
}

// The path of the selected folder ('' for the root, or when none is selected).
function selectedFolder() {
    return selectedValue(paneElement('lbxFolder')) || '';
}

function openFolder() {
    postSavedViews('', selectedFolder(), '', '', '');
}

function addFolder() {
    var name = prompt(messages.enterFolderName, '');
    if (name == null || name == '') return;
    postSavedViews('add_folder', selectedFolder(), '', name, '');
}

function deleteFolder() {
    var folder = selectedFolder();
    if (folder == '') {
        alert(messages.selectFolder);
        return;
    }
    if (!confirm(messages.confirmDeleteFolder)) return;
    postSavedViews('delete_folder', folder, '', '', '');
}

// The selected view's name, or null (after telling the user) when none is selected.
function selectedView() {
    var view = selectedValue(paneElement('lbxView'));
    if (view == null) alert(messages.selectView);
    return view;
}

function openView() {
    var view = selectedView();
    if (view != null) postSavedViews('open_view', selectedFolder(), view, '', '');
}

// Saves the view that the view body shows under a new name in the selected folder.
function saveView() {
    var definition = currentViewDefinition();
    if (definition == '') {
        alert(messages.noViewToSave);
        return;
    }
    var name = prompt(messages.enterViewName, selectedValue(paneElement('lbxView')) || '');
    if (name == null || name == '') return;
    postSavedViews('save_view', selectedFolder(), '', name, definition);
}

function deleteView() {
    var view = selectedView();
    if (view == null || !confirm(messages.confirmDeleteView)) return;
    postSavedViews('delete_view', selectedFolder(), view, '', '');
}

// Lists the saved views as soon as the pane has loaded, so that after a reload
// they are there without a click on Refresh. Only when the hidden frame is
// there: a form posted to a frame name that does not exist opens a window.
window.addEventListener('load', function () {
    if (paneElement('lbxFolder') != null && getFrame('hidden') != null) openFolder();
});
