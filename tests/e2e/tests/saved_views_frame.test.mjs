// The saved-views frame in a real browser against the real server, driven
// from a stand-in parameters pane that posts "frmBookmarks" the way the pane's
// buttons do, so that each field of an action can be set exactly. It shows that
// the lists are rebuilt, refusals are alerted with the store's messages (the
// limits are in saved_views.test.mjs), names travel unharmed both ways, and an
// opened view reaches the view body exactly as it was saved.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { withServerAndPage } from '../harness.mjs';

const NBSP = '\u00a0';

// A frameset like the explorer's, with a pane that holds only what the
// saved-views frame fills and reads. resetWindow() tells the pane when a
// post is done through savedViewsDone().
const topPage = `<html><frameset rows='50%, 50%, 0'>
  <frame name='paramsBody' src='stand-in-pane.htm'>
  <frame name='viewBody' src='html/blank.htm'>
  <frame name='hidden' src='html/blank.htm'>
</frameset></html>`;
const panePage = `<html><body>
  <script src='js/General.js'></script>
  <script src='js/ListBox.js'></script>
  <form name='frmInterface'>
    <select name='lbxFolder' size='5'><option value>Root</option></select>
    <select name='lbxView' size='5'></select>
  </form>
  <form name='frmBookmarks' target='hidden' method='post' action='./?id=3'>
    <input type='hidden' name='folder' value=''></input>
    <input type='hidden' name='view' value=''></input>
    <input type='hidden' name='actionID' value=''></input>
    <input type='hidden' name='new_name' value=''></input>
    <input type='hidden' name='view_xml' value=''></input>
  </form>
  <script>
    var handleParamChanges = true;
    var postsDone = 0;
    function savedViewsDone() { postsDone++; }
  </script>
</body></html>`;

// Starts a server with `args`, opens the stand-in frameset, and runs `body`
// with { page, pane, post, lists, problems, viewBodyPosts }.
async function withStandInPane(args, body) {
  return withServerAndPage(args, async ({ page, server, problems }) => {
    const viewBodyPosts = [];
    await page.route((url) => url.pathname.endsWith('stand-in-top.htm') || url.pathname.endsWith('stand-in-pane.htm'),
      (route) => route.fulfill({
        contentType: 'text/html; charset=utf-8',
        body: route.request().url().endsWith('top.htm') ? topPage : panePage,
      }));
    // The view body is another part's page: here it only records what it is sent.
    await page.route((url) => url.search === '?id=1', (route) => {
      viewBodyPosts.push(Object.fromEntries(new URLSearchParams(route.request().postData() || '')));
      return route.fulfill({ contentType: 'text/html', body: '<html><body>view</body></html>' });
    });
    await page.goto(new URL('stand-in-top.htm', server.url).toString(), { waitUntil: 'load' });
    const pane = page.frame({ name: 'paramsBody' });
    await pane.waitForFunction(() => typeof postsDone == 'number');

    // Posts one action as the pane's buttons do and waits until the hidden
    // frame has answered `answers` times (a deleted folder's parent is opened next).
    const post = async (fields, answers = fields.actionID === 'delete_folder' && fields.folder ? 2 : 1) => {
      const done = await pane.evaluate(() => postsDone);
      await pane.evaluate((values) => {
        const form = document.forms['frmBookmarks'];
        for (const name of ['folder', 'view', 'actionID', 'new_name', 'view_xml']) {
          form.elements[name].value = values[name] || '';
        }
        form.submit();
      }, fields);
      await pane.waitForFunction((until) => postsDone >= until, done + answers);
    };
    // The pane's lists as [text, value, selected] per option.
    const lists = () => pane.evaluate(() => {
      const read = (name) => Array.from(document.forms['frmInterface'].elements[name].options)
        .map((option) => [option.text, option.value, option.selected]);
      return { folders: read('lbxFolder'), views: read('lbxView') };
    });
    await body({ page, pane, post, lists, problems, viewBodyPosts });
    assert.deepEqual(problems.scriptErrors, []);
    assert.deepEqual(problems.failedRequests, []);
  });
}

// Expects the post to have shown exactly `messages` in alerts, and forgets them.
function takeAlerts(problems, messages) {
  assert.deepEqual(problems.dialogs.splice(0), messages);
}

test('folders and views are made, listed, opened and deleted, with names that need escaping', () =>
  withStandInPane([], async ({ page, post, lists, problems, viewBodyPosts }) => {
    await post({});
    assert.deepEqual(await lists(), { folders: [['Root', '', true]], views: [] });

    const folder = `Noord & "Zuid" \\ 'O'`;
    await post({ actionID: 'add_folder', new_name: 'Team' });
    await post({ actionID: 'add_folder', folder: 'Team', new_name: 'Omzet € 売上' });
    takeAlerts(problems, []);
    await post({ folder: 'Team/Omzet € 売上' });
    assert.deepEqual((await lists()).folders, [
      ['Root', '', false],
      [`${NBSP}${NBSP}> Team`, 'Team', false],
      [`${NBSP}${NBSP}${NBSP}${NBSP}> Omzet € 売上`, 'Team/Omzet € 売上', true],
    ]);

    // The store refuses quotes and backslashes in names; its message names them all.
    await post({ actionID: 'add_folder', folder: 'Team', new_name: folder });
    takeAlerts(problems, [
      'Invalid name.  File and folder names cannot be blank or contain the following characters: \\/:*?"<>|.']);

    const xml = `<cubeView caption="Tom &amp; Jerry's ‘Q1’" note='a < b &amp;&amp; "c"'><measure>[Measures].[Omzet €]</measure></cubeView>`;
    const view = `Q1 'eerste' € & co`;
    await post({ actionID: 'save_view', folder: 'Team/Omzet € 売上', new_name: view, view_xml: xml });
    await post({ actionID: 'save_view', folder: 'Team/Omzet € 売上', new_name: 'Ándere', view_xml: xml });
    takeAlerts(problems, []);
    // In name order without regard to case, as the server lists them: by character code beyond ASCII.
    assert.deepEqual((await lists()).views, [
      [view, view, false],
      ['Ándere', 'Ándere', false],
    ]);

    // Saving over an existing view is refused and keeps it.
    await post({ actionID: 'save_view', folder: 'Team/Omzet € 売上', new_name: view, view_xml: '<changed/>' });
    takeAlerts(problems, ['File already exists']);

    // The view body's post may still be on its way when the hidden frame is done.
    const viewBodyResponse = page.waitForResponse((response) => new URL(response.url()).search === '?id=1');
    await post({ actionID: 'open_view', folder: 'Team/Omzet € 売上', view });
    await viewBodyResponse;
    assert.equal(viewBodyPosts.length, 1);
    assert.equal(viewBodyPosts[0].xml, xml);
    const opened = await lists();
    assert.deepEqual(opened.views.map((option) => option[2]), [true, false], 'the opened view is selected');

    await post({ actionID: 'delete_view', folder: 'Team/Omzet € 売上', view });
    assert.deepEqual((await lists()).views.map((option) => option[1]), ['Ándere']);
    // A view deleted twice, or a folder already gone, is no error.
    await post({ actionID: 'delete_view', folder: 'Team/Omzet € 売上', view });
    await post({ actionID: 'delete_folder', folder: 'Team/Omzet € 売上' });
    // Its parent is open now.
    assert.deepEqual((await lists()).folders.map((option) => [option[1], option[2]]),
                     [['', false], ['Team', true]]);
    await post({ actionID: 'delete_folder', folder: 'Team/Omzet € 売上' });
    takeAlerts(problems, []);
    await post({ actionID: 'open_view', folder: 'Team/Omzet € 売上', view: 'Ándere' });
    takeAlerts(problems, ['Path not found']);
    assert.deepEqual((await lists()).folders, [['Root', '', false]], 'a missing folder lists the root alone');

    // The root itself is never deleted.
    await post({ actionID: 'delete_folder', folder: '' });
    takeAlerts(problems, [
      'Invalid name.  File and folder names cannot be blank or contain the following characters: \\/:*?"<>|.']);
    assert.deepEqual((await lists()).folders.map((option) => option[1]), ['', 'Team']);
  }));

test('in Dutch the root and the store messages are Dutch', () =>
  withStandInPane(['--lang', 'nl', '--max-folders-per-folder', '1'], async ({ post, lists, problems }) => {
    await post({ actionID: 'add_folder', new_name: 'Map' });
    await post({ actionID: 'add_folder', new_name: 'Nog een map' });
    await post({ actionID: 'add_folder', folder: 'Map', new_name: 'a.b' });
    takeAlerts(problems, [
      'De map kan niet worden toegevoegd.  Het maximum aantal (sub)mappen is bereikt.',
      'Ongeldige naam.  De namen van dit overzicht en van de map kunnen niet leeg zijn of de volgende karakters bevatten: \\/:*?"<>|.',
    ]);
    assert.deepEqual((await lists()).folders.map((option) => option[0]), ['Start map', `${NBSP}${NBSP}> Map`]);
  }));
