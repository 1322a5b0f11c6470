// The virtualiser's ES module build reads process.env.NODE_ENV, as bundlers
// expect; served as it is, the browser needs the name to exist.
globalThis.process ??= { env: { NODE_ENV: 'production' } };
