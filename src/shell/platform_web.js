// platform_web.js — the page's side of the browser platform layer
// (platform_web.cpp): the canvas and the music. The page script hands its
// canvas and its audio player to the module as Module.lanternfayPage; without
// a page (the table dump under Node.js) there is no picture and no sound.
mergeInto(LibraryManager.library, {
  lanternfay_page_put_frame: function (rgba, width, height) {
    if (Module.lanternfayPage)
      Module.lanternfayPage.putFrame(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
  },
  lanternfay_page_caption: function (title) {
    if (Module.lanternfayPage)
      Module.lanternfayPage.caption(UTF8ToString(title));
  },
  lanternfay_page_music_play: function () {
    return Module.lanternfayPage && Module.lanternfayPage.musicPlay() ? 1 : 0;
  },
  lanternfay_page_music_fade: function (steps, stepMs) {
    if (Module.lanternfayPage)
      Module.lanternfayPage.musicFade(steps, stepMs);
  },
  lanternfay_page_music_volume: function (volume) {
    if (Module.lanternfayPage)
      Module.lanternfayPage.musicVolume(volume);
  },
  lanternfay_page_music_pause: function (paused) {
    if (Module.lanternfayPage)
      Module.lanternfayPage.musicPause(paused !== 0);
  },
  lanternfay_page_music_stop: function () {
    if (Module.lanternfayPage)
      Module.lanternfayPage.musicStop();
  },
});
