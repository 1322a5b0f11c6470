// Charts of the grid as it stands: a category per row, a series per column
// (a pie shows the first column). The chart library loads on first use, so
// the page itself stays light. Names reach the chart as data, and its tooltip
// is built from text nodes, so no caption is ever read as markup.
const MAX_CATEGORIES = 500;
let library = null;

function label(position) { return position.map((member) => member.caption).join(' / '); }

function numberOf(cell) { return typeof cell?.value === 'number' ? cell.value : null; }

export function chartSeries(data) {
  const rows = data.rows.slice(0, MAX_CATEGORIES);
  const categories = rows.map(label);
  const series = data.columns.slice(0, 50).map((position, column) => ({
    name: label(position),
    values: rows.map((_, row) => numberOf(data.cells[row * data.columns.length + column])),
  }));
  return { categories, series };
}

function tooltip(params) {
  const box = document.createElement('div');
  for (const item of [].concat(params)) {
    const line = document.createElement('div');
    line.textContent = `${item.seriesName} · ${item.name}: ${item.value ?? ''}`;
    box.append(line);
  }
  return box;
}

export async function drawChart(container, kind, data) {
  library ??= await import('../vendor/echarts/echarts.esm.min.js');
  const { categories, series } = chartSeries(data);
  const chart = library.getInstanceByDom(container) || library.init(container);
  let option;
  if (kind === 'pie') {
    option = {
      tooltip: { trigger: 'item', formatter: tooltip },
      series: [{ type: 'pie', name: series[0]?.name ?? '', radius: '65%',
        data: categories.map((name, index) => ({ name, value: series[0]?.values[index] ?? null })) }],
    };
  } else {
    option = {
      tooltip: { trigger: 'axis', formatter: tooltip },
      legend: { type: 'scroll', top: 0 },
      grid: { left: 60, right: 20, top: 40, bottom: 60, containLabel: true },
      xAxis: { type: 'category', data: categories, axisLabel: { rotate: categories.length > 8 ? 40 : 0 } },
      yAxis: { type: 'value' },
      series: series.map((one) => ({
        type: kind === 'line' ? 'line' : 'bar', name: one.name, data: one.values,
        stack: kind === 'stacked' ? 'all' : undefined,
      })),
    };
  }
  chart.setOption(option, true);
  chart.resize();
  return chart;
}

export function disposeChart(container) {
  if (library) library.getInstanceByDom(container)?.dispose();
}
