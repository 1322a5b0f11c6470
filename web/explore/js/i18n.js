// The page's texts in English and Dutch. t(key, ...args) fills {0}, {1}, ...
const texts = {
  en: {
    title: 'Orvex analyst', dataSource: 'Data source', catalog: 'Catalog', cube: 'Cube', search: 'Search',
    rows: 'Rows', columns: 'Columns', filters: 'Filters', measures: 'Measures', dimensions: 'Dimensions',
    toRows: 'To rows', toColumns: 'To columns', toFilters: 'To filters', add: 'Add', remove: 'Remove',
    dropHere: 'Drag here or use the buttons in the tree', hideEmpty: 'Hide empty', totals: 'Totals',
    topN: 'Top', breaking: 'Breaking sort', shading: 'Shading', chart: 'Chart', grid: 'Grid', mdx: 'MDX',
    run: 'Run', bar: 'Bar', line: 'Line', pie: 'Pie', stacked: 'Stacked', none: 'None',
    measuresOnRows: 'Measures on rows', calculated: 'Calculated measure', name: 'Name', formula: 'Formula',
    noFilters: 'No filters', defaultMember: '{0} (default)', filterSearch: 'Search members of {0}',
    apply: 'Apply', close: 'Close', expand: 'Expand {0}', collapse: 'Collapse {0}', expandLevel: 'Open the next level', collapseAll: 'Collapse all',
    sortBy: 'Sort by {0}', loading: 'Loading…', cells: '{0} cells in {1} ms', errorAt: 'Line {0}, column {1}: {2}',
    link: 'Link to this view', views: 'Saved views', save: 'Save', open: 'Open', delete: 'Delete',
    viewName: 'View name', saved: 'Saved {0}', empty: 'Nothing to show', language: 'Nederlands',
    ranges: 'Colour ranges', from: 'From', to: 'To', colour: 'Colour', drillthrough: 'Fact rows behind the cell',
    noApi: 'This server does not answer {0}', export: 'Export', members: 'Members', results: '{0} found',
    namedSets: 'Named sets',
  },
  nl: {
    title: 'Orvex analist', dataSource: 'Gegevensbron', catalog: 'Catalogus', cube: 'Kubus', search: 'Zoeken',
    rows: 'Rijen', columns: 'Kolommen', filters: 'Filters', measures: 'Maten', dimensions: 'Dimensies',
    toRows: 'Naar rijen', toColumns: 'Naar kolommen', toFilters: 'Naar filters', add: 'Toevoegen',
    remove: 'Verwijderen', dropHere: 'Sleep hierheen of gebruik de knoppen in de boom', hideEmpty: 'Lege verbergen',
    totals: 'Totalen', topN: 'Top', breaking: 'Doorbrekend sorteren', shading: 'Arcering', chart: 'Grafiek',
    grid: 'Raster', mdx: 'MDX', run: 'Uitvoeren', bar: 'Staaf', line: 'Lijn', pie: 'Taart', stacked: 'Gestapeld',
    none: 'Geen', measuresOnRows: 'Maten op rijen', calculated: 'Berekende maat', name: 'Naam',
    formula: 'Formule', noFilters: 'Geen filters', defaultMember: '{0} (standaard)',
    filterSearch: 'Leden van {0} zoeken', apply: 'Toepassen', close: 'Sluiten', expand: '{0} uitvouwen',
    collapse: '{0} samenvouwen', expandLevel: 'Volgend niveau openen', collapseAll: 'Alles samenvouwen', sortBy: 'Sorteren op {0}', loading: 'Laden…',
    cells: '{0} cellen in {1} ms', errorAt: 'Regel {0}, kolom {1}: {2}', link: 'Koppeling naar deze weergave',
    views: 'Opgeslagen weergaven', save: 'Opslaan', open: 'Openen', delete: 'Verwijderen',
    viewName: 'Naam van de weergave', saved: '{0} opgeslagen', empty: 'Niets te tonen', language: 'English',
    ranges: 'Kleurbereiken', from: 'Van', to: 'Tot', colour: 'Kleur', drillthrough: 'Feitrijen achter de cel',
    noApi: 'Deze server beantwoordt {0} niet', export: 'Exporteren', members: 'Leden', results: '{0} gevonden',
    namedSets: 'Benoemde sets',
  },
};

let current = 'en';

export function setLanguage(lang) { current = texts[lang] ? lang : 'en'; document.documentElement.lang = current; }
export function language() { return current; }
export function t(key, ...args) {
  const text = texts[current][key] ?? texts.en[key] ?? key;
  return text.replace(/\{(\d)\}/g, (_, index) => String(args[Number(index)] ?? ''));
}
export const languages = Object.keys(texts);
