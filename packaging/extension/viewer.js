// A project full-page: viewer.html#URL shows the project at URL (http or https) in a player
// filling the window, as the plug-in shows a project opened by itself.
document.addEventListener('DOMContentLoaded', () => {
  let address = location.hash.slice(1);
  let url = null;
  try {
    address = decodeURIComponent(address);
    url = new URL(address);
  } catch {
    // reported below
  }
  if (!url || (url.protocol !== 'http:' && url.protocol !== 'https:')) {
    const message = document.createElement('p');
    message.id = 'message';
    message.textContent = `Not a project address: "${address}"`;
    document.body.append(message);
    return;
  }
  document.title = decodeURIComponent(url.pathname.split('/').pop());
  const embed = document.createElement('embed');
  embed.id = 'movie';
  embed.type = 'application/kelvora-movie';
  embed.src = url.href;
  embed.width = '100%';
  embed.height = '100%';
  // Hidden, so that the browser never tries it as a plug-in (this page's policy refuses them);
  // the runtime's player that takes its place is shown.
  embed.style.display = 'none';
  new MutationObserver((records, observer) => {
    const player = document.querySelector('klp-player');
    if (!player) return;
    player.style.display = 'block';
    observer.disconnect();
  }).observe(document.body, { childList: true });
  document.body.append(embed);
});
