// Saved views from the user's side: the Saved Views buttons of the parameters
// pane, the hidden frame that carries out their actions, and the view body
// that shows a reopened view, over the Tiny catalog.
import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';
import { frameNamed, waitUntil, withExplorer } from '../harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const catalogs = process.env.ORVEX_E2E_CATALOGS || path.resolve(here, '../../../build/e2e-catalogs');
const NBSP = '\u00a0';

// Answers the page's dialogs instead of the harness: each prompt with the next
// of the names given to `expect`, each confirmation with yes. Keeps every
// dialog as "type: message" for the test to check.
function answerDialogs(page) {
  const answers = [];
  const seen = [];
  page.removeAllListeners('dialog');
  page.on('dialog', async (dialog) => {
    seen.push(`${dialog.type()}: ${dialog.message()}`);
    if (dialog.type() === 'prompt') await dialog.accept(answers.shift() ?? '');
    else await dialog.accept();
  });
  return {
    // The names for the coming prompts.
    expect(...names) { answers.push(...names); },
    // The dialogs since the last call.
    take() { return seen.splice(0); },
    // How many dialogs have come since the last take().
    count() { return seen.length; },
  };
}

// The Saved Views section of the pane, driven as a person would. The pane
// learns to count the hidden frame's answers (through the savedViewsDone()
// that the frame calls when it is done), so that each step waits for its
// answer; watch() must be called again after the pane reloads.
function savedViews(page) {
  const pane = () => page.frame({ name: 'paramsBody' });
  const watch = async () => {
    // First the pane's own listing, posted when it loaded, must have come back.
    await page.waitForFunction(() => {
      const hidden = window.frames['hidden'];
      return hidden && hidden.location.search === '?id=3' && hidden.document.readyState === 'complete';
    });
    await pane().evaluate(() => {
      window.answers = 0;
      window.savedViewsDone = function () { answers++; };
    });
  };
  // Runs `action` and waits for `count` answers of the hidden frame.
  const answered = async (action, count = 1) => {
    const before = await pane().evaluate(() => answers);
    await action();
    await pane().waitForFunction((until) => answers >= until, before + count);
  };
  const options = (list) => pane().evaluate((name) =>
    Array.from(document.forms['frmInterface'].elements[name].options).map((option) => [option.text, option.value]), list);
  return {
    watch,
    click: (button, count = 1) => answered(() => pane().click(`input[name=${button}]`), count),
    // A button that the pane answers itself, without a post.
    clickRefused: (button) => pane().click(`input[name=${button}]`),
    openFolder: (value) => answered(() => pane().selectOption('select[name=lbxFolder]', value)),
    selectView: (value) => pane().selectOption('select[name=lbxView]', value),
    folders: () => options('lbxFolder'),
    views: () => options('lbxView'),
    selectedFolder: () => pane().inputValue('select[name=lbxFolder]'),
  };
}

// Runs `action` and waits until the view body shows the page it led to, with
// its scripts run (a page marks itself loaded; the old one is marked stale).
async function viewLoads(page, action) {
  await page.evaluate(() => { window.frames['viewBody'].stale = true; });
  await action();
  await page.waitForFunction(() => {
    try {
      return window.frames['viewBody'].stale !== true && window.frames['viewBody'].loaded === true;
    } catch (e) {
      return false;
    }
  });
}

// Shows a view of the Tiny Sales cube with Store on the columns and Time on the
// rows, through the pane, and returns the text of its table.
async function buildView(page) {
  const pane = await frameNamed(page, 'paramsBody');
  await viewLoads(page, () => pane.selectOption('select[name=lbxCatalog]', 'Tiny'));
  if (await pane.inputValue('select[name=lbxCube]') !== 'Sales') {
    await viewLoads(page, () => pane.selectOption('select[name=lbxCube]', 'Sales'));
  }
  await pane.selectOption('select[name=lbxAvailable]', 'Store');
  await pane.evaluate(() => moveToAxis0());
  await pane.selectOption('select[name=lbxAvailable]', 'Time');
  await pane.evaluate(() => moveToAxis1());
  await viewLoads(page, () => pane.click('input[name=btnApplyAxes]'));
  return viewTable(page);
}

async function viewTable(page) {
  const body = await frameNamed(page, 'viewBody');
  return body.innerText('table');
}

test('a view saved in a subfolder is reopened from the list after a reload and from a link, then deleted', () =>
  withExplorer({ args: ['--catalogs', catalogs] }, async ({ page, url, problems }) => {
    const dialogs = answerDialogs(page);
    const pane = savedViews(page);
    const table = await buildView(page);
    assert.match(table, /All Stores/);
    await pane.watch();

    const folder = 'Noord & Zuid';
    const view = `Q1 'eerste' € 2024`;
    dialogs.expect('Team');
    await pane.click('btnAddFolder');
    await pane.openFolder('Team');
    dialogs.expect(folder);
    await pane.click('btnAddFolder');
    await pane.openFolder(`Team/${folder}`);
    dialogs.expect(view);
    await pane.click('btnSaveView');
    assert.deepEqual(dialogs.take(), [
      'prompt: Please enter a name for the folder.',
      'prompt: Please enter a name for the folder.',
      'prompt: Please enter a name for the view.',
    ]);
    assert.deepEqual(await pane.views(), [[view, view]]);

    // After a reload the pane lists the folders again by itself.
    await page.reload({ waitUntil: 'load' });
    await pane.watch();
    assert.deepEqual(await pane.folders(), [
      ['Root', ''],
      [`${NBSP}${NBSP}> Team`, 'Team'],
    ]);
    await pane.openFolder('Team');
    await pane.openFolder(`Team/${folder}`);
    assert.deepEqual(await pane.folders(), [
      ['Root', ''],
      [`${NBSP}${NBSP}> Team`, 'Team'],
      [`${NBSP}${NBSP}${NBSP}${NBSP}> ${folder}`, `Team/${folder}`],
    ]);
    await pane.selectView(view);
    await viewLoads(page, () => pane.click('btnOpenView'));
    assert.equal(await viewTable(page), table, 'the view opened from the list');

    // A link that names the folder and the view opens it too.
    const link = new URL(url);
    link.searchParams.set('folder', `Team/${folder}`);
    link.searchParams.set('view', view);
    const linked = await page.context().newPage();
    await linked.goto(link.toString(), { waitUntil: 'load' });
    assert.equal(await viewTable(linked), table, 'the view opened from a link');
    await linked.close();

    await pane.selectView(view);
    await pane.click('btnDeleteView');
    assert.deepEqual(await pane.views(), []);
    // Once a folder is gone its parent is opened.
    await pane.click('btnDeleteFolder', 2);
    assert.equal(await pane.selectedFolder(), 'Team');
    await pane.click('btnDeleteFolder', 2);
    assert.deepEqual(await pane.folders(), [['Root', '']]);
    assert.equal(await pane.selectedFolder(), '');
    assert.deepEqual(dialogs.take(), [
      'confirm: Delete the selected view?',
      'confirm: Delete the selected folder and every view in it?',
      'confirm: Delete the selected folder and every view in it?',
    ]);

    // The link of a view that is gone says so in the view body.
    const gone = await page.context().newPage();
    await gone.goto(link.toString(), { waitUntil: 'load' });
    assert.match(await (await frameNamed(gone, 'viewBody')).innerText('body'),
                 /The following error has occurred:\s+Path not found/);
    await gone.close();
    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.failedRequests.filter((request) => !request.includes('ERR_ABORTED')), []);
  }));

test('every limit and name rule is explained in an alert and changes nothing', () =>
  withExplorer({ args: ['--catalogs', catalogs, '--max-folders-per-folder', '1', '--max-folder-depth', '1',
                        '--max-files-per-folder', '1', '--max-name-length', '10', '--file-extension', 'view'] },
  async ({ page, problems }) => {
    const dialogs = answerDialogs(page);
    const pane = savedViews(page);
    await buildView(page);
    await pane.watch();

    // What the pane refuses itself.
    await pane.clickRefused('btnDeleteFolder');
    await pane.clickRefused('btnOpenView');
    await pane.clickRefused('btnDeleteView');
    await waitUntil(() => dialogs.count() >= 3, 'the three alerts');
    assert.deepEqual(dialogs.take(), [
      'alert: Please select a folder first.',
      'alert: Please select a view first.',
      'alert: Please select a view first.',
    ]);

    // What the store refuses.
    dialogs.expect('A', 'B', 'x/y', 'far too long');
    await pane.click('btnAddFolder');
    await pane.click('btnAddFolder');
    await pane.openFolder('A');
    await pane.click('btnAddFolder');
    await pane.click('btnAddFolder');
    dialogs.expect('one', 'two', 'x:y');
    await pane.click('btnSaveView');
    await pane.click('btnSaveView');
    await pane.openFolder('');
    await pane.click('btnSaveView');
    assert.deepEqual(dialogs.take().filter((dialog) => dialog.startsWith('alert')), [
      'alert: The folder cannot be added.  The parent folder has reached its maximum folder capacity.',
      'alert: The folder cannot be added.  The parent folder is at the maximum folder depth.',
      'alert: The folder cannot be added.  The parent folder is at the maximum folder depth.',
      'alert: The file cannot be saved.  The parent folder has reached its maximum file capacity.',
      'alert: Invalid name.  File and folder names cannot be blank or contain the following characters: \\/:*?"<>|.',
    ]);
    dialogs.expect('much too long');
    await pane.click('btnSaveView');
    assert.deepEqual(dialogs.take(), [
      'prompt: Please enter a name for the view.',
      'alert: The name is too long.  File and folder names may not exceed 10 characters in length.',
    ]);
    assert.deepEqual((await pane.folders()).map((option) => option[1]), ['', 'A']);
    assert.deepEqual(await pane.views(), []);
    await pane.openFolder('A');
    assert.deepEqual((await pane.views()).map((option) => option[1]), ['one']);
    assert.deepEqual(problems.scriptErrors, []);
  }));
