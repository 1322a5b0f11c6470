// Lists (select elements) of the explorer's forms: making, ordering, choosing
// and redrawing their options. Loaded by the parameters pane, the view body
// and the hidden saved-views frame, which fill one another's lists.

// A new option with `text` and `value`, made by `doc`: the document of the
// window that holds the list it goes into. Leading blanks are kept as
// non-breaking ones, since lists drop leading blanks and nested folders are
// indented with them.
function createOption(doc, text, value) {
    var option = doc.createElement('option');
    option.text = String(text).replace(/^ +/, function (blanks) { return blanks.replace(/ /g, '\u00a0'); });
    option.value = value;
    return option;
}

// Orders two option texts as the server lists names: without regard to
// letter case, and by the texts themselves where only case differs.
function compareOptionTexts(a, b) {
    var upperA = a.toUpperCase();
    var upperB = b.toUpperCase();
    if (upperA != upperB) return upperA < upperB ? -1 : 1;
    return a == b ? 0 : (a < b ? -1 : 1);
}

// Orders the options of `list` by their texts; selected options stay selected.
function sortOptions(list) {
    if (list == null) return;
    var options = [];
    for (var index = 0; index < list.options.length; index++) options.push(list.options[index]);
    options.sort(function (a, b) { return compareOptionTexts(a.text, b.text); });
    // Appending an option that the list already holds moves it to the end.
    for (var position = 0; position < options.length; position++) list.appendChild(options[position]);
}

// Selects the option of `list` whose value is `value`. With `only` true every
// other option is unselected, so no option is selected when none has that value.
function selectValue(list, value, only) {
    if (list == null) return;
    for (var index = 0; index < list.options.length; index++) {
        var option = list.options[index];
        if (option.value == value) {
            option.selected = true;
        } else if (only) {
            option.selected = false;
        }
    }
}

// Redraws the lists of this window's forms after another frame has refilled
// them: each single-choice list shows its selected option, scrolled into
// view. (Choosing again would clear the other choices of a multiple-choice
// list, so those are left as they are.)
function refreshListBoxes() {
    var lists = document.getElementsByTagName('select');
    for (var index = 0; index < lists.length; index++) {
        var list = lists[index];
        if (!list.multiple && list.selectedIndex >= 0) list.selectedIndex = list.selectedIndex;
    }
}

// The separator between a dimension name and a hierarchy name in the value of
// a hierarchy's option: a control character, which no name holds.
function delim() {
    return '\u001f';
}

// Removes every option of `list`.
function removeAllOptions(list) {
    if (list == null) return;
    while (list.options.length > 0) list.remove(list.options.length - 1);
}

// The value of the selected option of `list`, or null when none is selected.
function selectedValue(list) {
    if (list == null || list.selectedIndex < 0) return null;
    return list.options[list.selectedIndex].value;
}

// Moves the selected options of `from` to the end of `to`, still selected.
// Returns how many were moved.
function moveSelectedOptions(from, to) {
    if (from == null || to == null) return 0;
    var moving = [];
    for (var index = 0; index < from.options.length; index++) {
        if (from.options[index].selected) moving.push(from.options[index]);
    }
    for (var position = 0; position < moving.length; position++) to.appendChild(moving[position]);
    return moving.length;
}

// Moves each selected option of `list` one place up; an option already at
// the top, or below another selected option at the top, stays.
function moveSelectedOptionsUp(list) {
    if (list == null) return;
    for (var index = 1; index < list.options.length; index++) {
        var option = list.options[index];
        var above = list.options[index - 1];
        if (option.selected && !above.selected) list.insertBefore(option, above);
    }
}

// Moves each selected option of `list` one place down.
function moveSelectedOptionsDown(list) {
    if (list == null) return;
    for (var index = list.options.length - 2; index >= 0; index--) {
        var option = list.options[index];
        var below = list.options[index + 1];
        if (option.selected && !below.selected) list.insertBefore(below, option);
    }
}
