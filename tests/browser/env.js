// Where the browser tests find the checkout, the native build and the sites
// (CTest sets ORVIX_SOURCE and ORVIX_BUILD).
'use strict';
const path = require('path');

const source = process.env.ORVIX_SOURCE || path.resolve(__dirname, '../..');
const build = path.resolve(process.env.ORVIX_BUILD || path.join(source, 'build'));

module.exports = {
  source,
  build,
  // The sites the web fixture builds from the examples.
  site: (name) => path.join(build, 'web', name),
};
