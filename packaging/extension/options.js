// The options page: the sites the extension is turned off for, each with a button to turn it on
// again, and a field to add one (a host name or an address on the site).

async function show() {
  const list = document.getElementById('sites');
  list.replaceChildren();
  for (const site of await disabledSites()) {
    const item = document.createElement('li');
    item.dataset.site = site;
    const on = document.createElement('button');
    on.textContent = 'Turn on';
    on.addEventListener('click', async () => {
      await setDisabledSites((await disabledSites()).filter((s) => s !== site));
      await show();
    });
    item.append(`${site} `, on);
    list.append(item);
  }
}

document.addEventListener('DOMContentLoaded', () => {
  document.getElementById('add').addEventListener('submit', async (event) => {
    event.preventDefault();
    const field = document.getElementById('site');
    const site = siteOf(field.value);
    const error = document.getElementById('error');
    error.textContent = site ? '' : `"${field.value}" names no site`;
    if (!site) return;
    await setDisabledSites([...(await disabledSites()), site]);
    field.value = '';
    await show();
  });
  show();
});
