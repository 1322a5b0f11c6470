// The calls of the JSON API the page makes. Every failure becomes an ApiError
// carrying the server's message (the engine's, for a statement).
export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// The API sits at the site's root whatever path the page is served at.
const apiRoot = new URL('/api/', location.origin);

async function call(path, params, init) {
  const url = new URL(path, apiRoot);
  for (const [key, value] of Object.entries(params || {})) {
    if (value !== undefined && value !== null && value !== '') url.searchParams.set(key, value);
  }
  let response;
  try {
    response = await fetch(url, init);
  } catch (error) {
    throw new ApiError(0, String(error.message || error));
  }
  const type = response.headers.get('Content-Type') || '';
  const body = type.includes('json') ? await response.json().catch(() => null) : null;
  if (!response.ok) {
    throw new ApiError(response.status, body?.error || body?.message || `${response.status} ${response.statusText}`);
  }
  return body ?? response;
}

function post(path, params, body) {
  return call(path, params, { method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body) });
}

// Lists come as {"name": [...]} or as a bare array; items as names or objects.
function list(body, key) {
  const items = Array.isArray(body) ? body : body?.[key] || [];
  return items.map((item) => (typeof item === 'string' ? { name: item } : item));
}

export const api = {
  async dataSources() { return list(await call('datasources'), 'dataSources'); },
  async catalogs(dataSource) { return list(await call('catalogs', { dataSource }), 'catalogs'); },
  async cubes(dataSource, catalog) { return list(await call('cubes', { dataSource, catalog }), 'cubes'); },
  async members(where, options) {
    const body = await call('members', { ...where, ...options });
    return { members: list(body, 'members'), total: body?.total };
  },
  query(where, mdx) { return post('query', {}, { ...where, mdx }); },
  drillthrough(where, mdx) { return post('drillthrough', {}, { ...where, mdx }); },
  exportUrl(format) { return new URL(`export?format=${encodeURIComponent(format)}`, apiRoot).toString(); },
  async exportFile(format, where, mdx) {
    const response = await post('export', { format }, { ...where, mdx });
    return response.blob();
  },
  views(folder) { return call('views', { folder }); },
  view(folder, name) { return call('view', { folder, name }); },
  saveView(folder, name, xml, overwrite) { return post('view', {}, { folder, name, xml, overwrite }); },
  deleteView(folder, name) { return post('view/delete', {}, { folder, name }); },
};
