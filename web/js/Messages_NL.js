// De teksten die de scripts van de verkenner tonen, in het Nederlands.
var messages = {
    viewNotReady: "Het overzicht wordt nog geladen. Probeer het zo nog eens.",
    noViewToSnapshot: "Er is nog geen overzicht om apart te tonen. Kies eerst een domein.",
    noViewToSynchronize: "Er is nog geen overzicht om mee te synchroniseren.",
    enterViewName: "Geef het overzicht een naam.",
    enterFolderName: "Geef de map een naam.",
    selectView: "Selecteer eerst een overzicht.",
    selectFolder: "Selecteer eerst een map.",
    confirmDeleteView: "Het geselecteerde overzicht verwijderen?",
    confirmDeleteFolder: "De geselecteerde map en alle overzichten erin verwijderen?",
    confirmOverwriteView: "Er bestaat al een overzicht met deze naam. Vervangen?",
    invalidNumber: "Geef een getal op.",
    invalidRange: "De waarde 'Van' mag niet groter zijn dan de waarde 'Tot'.",
    selectRange: "Selecteer eerst een bereik.",
    selectHierarchy: "Selecteer eerst een variabele.",
    tooManyAxes: "Niet meer dan twee assen kunnen tegelijkertijd bekeken worden."
};
