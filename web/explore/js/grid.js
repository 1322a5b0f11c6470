// The pivot grid: column headings on top, row headings at the left, cells
// between, all of them virtualised in both directions so that only what is
// in sight exists in the document. Every caption and value goes in as text.
import './process_shim.js';
import { Virtualizer, elementScroll, observeElementOffset, observeElementRect } from
  '../vendor/virtual-core/index.js';
import { t } from './i18n.js';

const ROW_HEIGHT = 26;
const COLUMN_WIDTH = 116;
const ROW_HEADING_WIDTH = 170;

function isMeasure(member) { return member.uniqueName.startsWith('[Measures].'); }

function canExpand(member) {
  if (isMeasure(member)) return false;
  return member.childCount === undefined ? true : member.childCount > 0;
}

// Whether heading `level` of `positions[index]` repeats the one before it
// (with every heading above it), so that a run of them shows one caption.
function continues(positions, index, level, first) {
  if (index === first) return false;
  const here = positions[index];
  const before = positions[index - 1];
  for (let at = 0; at <= level; at++) if (here[at]?.uniqueName !== before[at]?.uniqueName) return false;
  return true;
}

export class PivotGrid {
  constructor(container, handlers) {
    this.handlers = handlers;
    this.scroller = document.createElement('div');
    this.scroller.className = 'grid-scroller';
    this.scroller.tabIndex = 0;
    this.scroller.setAttribute('role', 'grid');
    this.canvas = document.createElement('div');
    this.canvas.className = 'grid-canvas';
    this.scroller.append(this.canvas);
    container.replaceChildren(this.scroller);
    this.data = { columns: [[]], rows: [[]], cells: [] };
    this.active = { row: 0, column: 0 };
    this.frame = 0;
    const common = {
      getScrollElement: () => this.scroller, observeElementRect, observeElementOffset, scrollToFn: elementScroll,
      overscan: 4, onChange: () => this.schedule(),
    };
    this.rowsV = new Virtualizer({ ...common, count: 0, estimateSize: () => ROW_HEIGHT });
    this.columnsV = new Virtualizer({ ...common, horizontal: true, count: 0, estimateSize: () => COLUMN_WIDTH });
    this.rowsV._didMount();
    this.columnsV._didMount();
    this.scroller.addEventListener('scroll', () => this.schedule(), { passive: true });
    this.scroller.addEventListener('click', (event) => this.onClick(event));
    this.scroller.addEventListener('dblclick', (event) => this.onDoubleClick(event));
    this.scroller.addEventListener('keydown', (event) => this.onKey(event));
  }

  // data: {columns: [position], rows: [position], cells: [cell by row * columns + column],
  // colour(cell) -> CSS colour or ''}. A position is its array of members.
  setData(data) {
    this.data = data;
    this.rowLevels = Math.max(0, ...data.rows.map((position) => position.length));
    this.columnLevels = Math.max(1, ...data.columns.map((position) => position.length));
    this.headingWidth = this.rowLevels * ROW_HEADING_WIDTH;
    this.headingHeight = this.columnLevels * ROW_HEIGHT;
    this.rowsV.setOptions({ ...this.rowsV.options, count: data.rows.length, paddingStart: this.headingHeight });
    this.columnsV.setOptions({ ...this.columnsV.options, count: data.columns.length, paddingStart: this.headingWidth });
    this.canvas.style.width = `${this.headingWidth + data.columns.length * COLUMN_WIDTH}px`;
    this.canvas.style.height = `${this.headingHeight + data.rows.length * ROW_HEIGHT}px`;
    // A small grid takes only the room it needs; a large one scrolls inside its box.
    this.scroller.style.maxHeight = `${this.headingHeight + data.rows.length * ROW_HEIGHT + 20}px`;
    this.active = { row: Math.min(this.active.row, data.rows.length - 1), column: Math.min(this.active.column, data.columns.length - 1) };
    this.rowsV._willUpdate();
    this.columnsV._willUpdate();
    this.render();
  }

  schedule() {
    if (this.frame) return;
    this.frame = requestAnimationFrame(() => {
      this.frame = 0;
      this.render();
    });
  }

  element(className, left, top, width, height, text) {
    const element = document.createElement('div');
    element.className = className;
    element.style.cssText = `left:${left}px;top:${top}px;width:${width}px;height:${height}px`;
    if (text !== undefined) element.textContent = text;
    return element;
  }

  heading(member, axis, index, level, left, top, width, showCaption) {
    const cell = this.element(`grid-heading ${axis}`, left, top, width, ROW_HEIGHT);
    cell.dataset.axis = axis;
    cell.dataset.index = index;
    cell.dataset.level = level;
    if (!showCaption) {
      cell.classList.add('continued');
      return cell;
    }
    if (axis === 'row') cell.style.paddingLeft = `${4 + (member.levelDepth || 0) * 10}px`;
    if (canExpand(member)) {
      const expanded = this.handlers.isExpanded(member);
      const toggle = document.createElement('button');
      toggle.type = 'button';
      toggle.className = 'toggle';
      toggle.tabIndex = -1;
      toggle.textContent = expanded ? '−' : '+';
      toggle.setAttribute('aria-label', t(expanded ? 'collapse' : 'expand', member.caption));
      toggle.setAttribute('aria-expanded', String(expanded));
      cell.append(toggle);
    }
    const caption = document.createElement('span');
    caption.className = 'caption';
    caption.textContent = member.caption;
    cell.title = member.caption;
    cell.append(caption);
    const innermost = axis === 'column' ? level === this.columnLevels - 1 : level === this.rowLevels - 1;
    if (innermost) {
      const sorted = this.handlers.sortOf(axis, index);
      if (sorted) {
        const mark = document.createElement('span');
        mark.className = 'sort-mark';
        mark.textContent = sorted === 'desc' ? '▼' : '▲';
        cell.append(mark);
      }
    }
    return cell;
  }

  render() {
    const { rows, columns, cells } = this.data;
    const top = this.scroller.scrollTop;
    const left = this.scroller.scrollLeft;
    const visibleRows = this.rowsV.getVirtualItems();
    const visibleColumns = this.columnsV.getVirtualItems();
    const pieces = [];
    const firstColumn = visibleColumns[0]?.index ?? 0;
    const firstRow = visibleRows[0]?.index ?? 0;
    for (const row of visibleRows) {
      for (const column of visibleColumns) {
        const ordinal = row.index * columns.length + column.index;
        const cell = cells[ordinal];
        const text = cell ? (cell.formattedValue ?? (cell.value === null || cell.value === undefined ? '' : String(cell.value))) : '';
        const element = this.element('grid-cell', column.start, row.start, COLUMN_WIDTH, ROW_HEIGHT, text);
        element.dataset.row = row.index;
        element.dataset.column = column.index;
        const colour = cell && this.data.colour ? this.data.colour(cell) : '';
        if (colour) element.style.background = colour;
        if (row.index === this.active.row && column.index === this.active.column) element.classList.add('active');
        pieces.push(element);
      }
    }
    for (const row of visibleRows) {
      const position = rows[row.index];
      for (let level = 0; level < this.rowLevels; level++) {
        const member = position[level];
        if (!member) continue;
        const show = !continues(rows, row.index, level, firstRow);
        const element = this.heading(member, 'row', row.index, level, left + level * ROW_HEADING_WIDTH, row.start,
          ROW_HEADING_WIDTH, show);
        if (row.index === this.active.row && this.active.column === -1 - level) element.classList.add('active');
        pieces.push(element);
      }
    }
    for (const column of visibleColumns) {
      const position = columns[column.index];
      for (let level = 0; level < this.columnLevels; level++) {
        const member = position[level];
        if (!member) continue;
        const show = !continues(columns, column.index, level, firstColumn) || level === this.columnLevels - 1;
        pieces.push(this.heading(member, 'column', column.index, level, column.start, top + level * ROW_HEIGHT,
          COLUMN_WIDTH, show));
      }
    }
    pieces.push(this.element('grid-corner', left, top, this.headingWidth, this.headingHeight));
    this.canvas.replaceChildren(...pieces);
  }

  // The member a heading element shows.
  memberAt(element) {
    const heading = element.closest('.grid-heading');
    if (!heading) return null;
    const positions = heading.dataset.axis === 'row' ? this.data.rows : this.data.columns;
    const position = positions[Number(heading.dataset.index)];
    return { member: position[Number(heading.dataset.level)], axis: heading.dataset.axis, index: Number(heading.dataset.index), level: Number(heading.dataset.level) };
  }

  onClick(event) {
    const found = this.memberAt(event.target);
    if (found && event.target.closest('.toggle')) {
      this.handlers.onToggle(found.member);
    } else if (found && found.axis === 'column' && found.level === this.columnLevels - 1) {
      this.handlers.onSort('column', found.index);
    } else if (found && found.axis === 'row' && found.level === this.rowLevels - 1 && event.target.closest('.caption')) {
      this.handlers.onSort('row', found.index);
    }
    const cell = event.target.closest('.grid-cell');
    if (cell) {
      this.active = { row: Number(cell.dataset.row), column: Number(cell.dataset.column) };
      // Marked in place: drawn anew, the cell would be another element, and
      // the second click of a double click would not reach the first's.
      for (const marked of this.canvas.querySelectorAll('.active')) marked.classList.remove('active');
      cell.classList.add('active');
    }
  }

  onDoubleClick(event) {
    const found = this.memberAt(event.target);
    if (found && !event.target.closest('.toggle') && canExpand(found.member)) this.handlers.onDrill(found.member);
    const cell = event.target.closest('.grid-cell');
    if (cell) this.handlers.onCell(Number(cell.dataset.row), Number(cell.dataset.column));
  }

  // Arrows move the active cell (left of the first column: the row headings);
  // Enter expands a heading or drills through a cell; S sorts by the column
  // (on a row heading: the columns by that row).
  onKey(event) {
    const { rows, columns } = this.data;
    const moves = { ArrowUp: [-1, 0], ArrowDown: [1, 0], ArrowLeft: [0, -1], ArrowRight: [0, 1], PageDown: [20, 0], PageUp: [-20, 0] };
    if (moves[event.key]) {
      event.preventDefault();
      const [down, right] = moves[event.key];
      this.active.row = Math.max(0, Math.min(rows.length - 1, this.active.row + down));
      this.active.column = Math.max(-this.rowLevels, Math.min(columns.length - 1, this.active.column + right));
      this.rowsV.scrollToIndex(this.active.row);
      if (this.active.column >= 0) this.columnsV.scrollToIndex(this.active.column);
      this.render();
    } else if (event.key === 'Enter' || event.key === ' ') {
      event.preventDefault();
      if (this.active.column < 0) {
        const member = rows[this.active.row]?.[-1 - this.active.column];
        if (member && canExpand(member)) this.handlers.onToggle(member);
      } else {
        this.handlers.onCell(this.active.row, this.active.column);
      }
    } else if (event.key === 's' && this.active.column >= 0) {
      this.handlers.onSort('column', this.active.column);
    } else if (event.key === 's' && this.active.column < 0 && -1 - this.active.column === this.rowLevels - 1) {
      this.handlers.onSort('row', this.active.row);
    }
  }

  scrollToEnd() {
    this.scroller.scrollTop = this.scroller.scrollHeight;
    this.scroller.scrollLeft = this.scroller.scrollWidth;
  }
}
