// The texts the explorer's scripts show, in English.
var messages = {
    viewNotReady: "The view is still loading. Please try again in a moment.",
    noViewToSnapshot: "There is no view to take a snapshot of yet. Choose a cube first.",
    noViewToSynchronize: "There is no view to synchronize with yet.",
    enterViewName: "Please enter a name for the view.",
    enterFolderName: "Please enter a name for the folder.",
    selectView: "Please select a view first.",
    selectFolder: "Please select a folder first.",
    confirmDeleteView: "Delete the selected view?",
    confirmDeleteFolder: "Delete the selected folder and every view in it?",
    confirmOverwriteView: "A view with this name already exists. Replace it?",
    invalidNumber: "Please enter a number.",
    invalidRange: "The 'From' value must not be greater than the 'To' value.",
    selectRange: "Please select a range first.",
    selectHierarchy: "Please select a hierarchy first.",
    tooManyAxes: "No more than two axes may be viewed at a time."
};
