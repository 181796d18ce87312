// page.js — the page around the show: loads the data files into the show's
// file system, decodes the music, waits for one click or key (the browser
// lets sound start only then), and drives the show from the music's clock
// once per animation frame.
//
//   index.html               the show, after a click or a key
//   index.html?autoplay      starts at once where the browser allows sound without a click
//   index.html?from=24       starts 24 s into the show (frames before it are left out)
//   index.html?test          no music; window.lanternfay plays moments on virtual time
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const testMode = params.has('test');
  const autoplay = params.has('autoplay');
  const fromMs = Math.max(0, Math.round(parseFloat(params.get('from') || '0') * 1000) || 0);
  const FRAME_BUDGET_MS = 10;   // drawing time per animation frame before frames are left out
  const SCENE_COUNT = 8;

  const stage = document.getElementById('stage');
  const cover = document.getElementById('cover');
  const status = document.getElementById('status');
  const canvas = document.getElementById('show');
  const context2d = canvas.getContext('2d');
  const printed = [];

  // What the page did, for the viewer's console and for the tests.
  const api = window.lanternfay = {
    state: 'loading', readyMs: null, problem: null, samples: [], figures: null,
  };

  function say(text) { status.textContent = text; }

  function fail(text) {
    if (api.state === 'failed')
      return;
    api.state = 'failed';
    api.problem = text;
    cover.classList.remove('hidden');
    say(text);
    console.error(text);
  }

  window.addEventListener('error', (event) => fail('The show stopped: ' + event.message));

  // ---- The music ---------------------------------------------------------------

  const music = { context: null, buffer: null, gain: null, source: null, startContextTime: 0, volume: 1 };

  function makeAudioContext() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context || testMode)
      return null;
    try {
      return new Context({ sampleRate: 44100 });
    } catch (error) {
      return new Context();
    }
  }

  // The music's playing position in show milliseconds at performance time
  // now: what the listener hears, from the audio output's own clock.
  function audioPositionMs(now) {
    const context = music.context;
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    let contextTime = context.currentTime - (context.outputLatency || 0);
    if (stamp && stamp.performanceTime > 0)
      contextTime = stamp.contextTime + (now - stamp.performanceTime) / 1000;
    return fromMs + (contextTime - music.startContextTime) * 1000;
  }

  // The show's clock: the audio position smoothed against performance.now(),
  // so that its coarse steps do not shake the picture; it never runs back.
  const clock = { offset: null, last: -Infinity, wallStart: 0 };
  function showClockMs(now) {
    const raw = music.source ? audioPositionMs(now) : fromMs + now - clock.wallStart;
    const target = raw - now;
    if (clock.offset === null || Math.abs(target - clock.offset) > 50)
      clock.offset = target;   // the first reading, or the audio jumped (a frozen tab)
    else
      clock.offset += (target - clock.offset) * 0.05;
    const time = Math.max(fromMs, now + clock.offset, clock.last);
    clock.last = time;
    return { time, raw };
  }

  // Called by the show through its platform layer (SDL_mixer's calls).
  const page = {
    putFrame(bytes, width, height) {
      const view = new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, width * height * 4);
      context2d.putImageData(new ImageData(view, width, height), 0, 0);
    },
    caption(title) { document.title = title; },
    musicPlay() {
      if (!music.context || !music.buffer)
        return false;
      music.gain = music.context.createGain();
      music.gain.gain.value = music.volume;
      music.gain.connect(music.context.destination);
      music.source = music.context.createBufferSource();
      music.source.buffer = music.buffer;
      music.source.connect(music.gain);
      music.startContextTime = music.context.currentTime;
      music.source.start(music.startContextTime, fromMs / 1000);
      return true;
    },
    // SDL_mixer 1.2's fade: from the next 2048-sample buffer the mixer
    // fills, the volume steps down once per buffer over `steps` buffers:
    // buffer k (1..steps) at shell.h's music_fade_volume(k, steps); then
    // the music halts.
    musicFade(steps, stepMs) {
      if (!music.source)
        return;
      const context = music.context;
      const bufferSeconds = 2048 / 44100;
      const position = fromMs / 1000 + (context.currentTime - music.startContextTime);
      const first = Math.ceil(position / bufferSeconds);
      const at = (buffer) => music.startContextTime + buffer * bufferSeconds - fromMs / 1000;
      for (let k = 1; k <= steps; k++) {
        const volume = Math.floor(128 * (steps - k) / steps) / 128;
        music.gain.gain.setValueAtTime(volume * music.volume, Math.max(context.currentTime, at(first + k - 1)));
      }
      music.source.stop(Math.max(context.currentTime, at(first + steps)));
      console.log(`music fades out over ${steps} buffers of ${stepMs} ms`);
    },
    musicVolume(volume) {
      music.volume = volume / 128;
      if (music.gain)
        music.gain.gain.value = music.volume;
    },
    musicStop() {
      if (music.source)
        music.source.stop();
    },
    musicPause(paused) {
      if (music.context)
        paused ? music.context.suspend() : music.context.resume();
    },
  };

  // ---- The show --------------------------------------------------------------------

  window.Module = {
    lanternfayPage: page,
    print: (line) => { printed.push(line); console.log(line); },
    printErr: (line) => console.warn(line),
    onAbort: (what) => fail('The show stopped: ' + what),
  };
  const runtimeReady = new Promise((resolve, reject) => {
    window.Module.onRuntimeInitialized = resolve;
    // The show's program, loaded once Module is in place for it.
    const script = document.createElement('script');
    script.src = 'lanternfay.js';
    script.onerror = () => reject(new Error('its program lanternfay.js could not be loaded'));
    document.body.appendChild(script);
  });

  async function fetchBytes(name) {
    let response;
    try {
      response = await fetch(name);
    } catch (error) {
      throw new Error(`its data file ${name} could not be loaded (${error.message})`);
    }
    if (!response.ok)
      throw new Error(`its data file ${name} could not be loaded (${response.status} ${response.statusText})`);
    return new Uint8Array(await response.arrayBuffer());
  }

  async function loadData() {
    const list = new TextDecoder().decode(await fetchBytes('data/files.txt'));
    const names = list.split('\n').map((line) => line.trim()).filter((line) => line);
    const files = await Promise.all(names.map(async (name) => [name, await fetchBytes('data/' + name)]));
    return files;
  }

  async function decodeMusic(bytes) {
    music.context = makeAudioContext();
    if (!music.context)
      return;
    try {
      music.buffer = await music.context.decodeAudioData(bytes.slice().buffer);
    } catch (error) {
      console.warn('No music (data/lanternfay.ogg: ' + error + '); the show plays silent.');
    }
  }

  async function prepare() {
    const [files] = await Promise.all([loadData(), runtimeReady]);
    const FS = window.Module.FS;
    FS.mkdir('/data');
    for (const [name, bytes] of files)
      FS.writeFile('/data/' + name, bytes);
    const musicFile = files.find(([name]) => name === 'lanternfay.ogg');
    await decodeMusic(musicFile ? musicFile[1] : new Uint8Array(0));
    if (!window.Module._lanternfay_start_up())
      throw new Error(printed.join(' ') || 'its start-up failed');
  }

  // ---- Playing -----------------------------------------------------------------------

  const Show = () => window.Module;
  let playing = false;
  let lastScene = 0;

  function reportScenes() {
    api.figures = JSON.parse(Show().UTF8ToString(Show()._lanternfay_report()));
    return api.figures;
  }

  function logScene(figure) {
    const fps = figure.seconds > 0 ? figure.animation_frames / figure.seconds : 0;
    const pace = figure.frames_due ? (100 * figure.frames / figure.frames_due).toFixed(1) : '0';
    console.log(`scene ${figure.scene}: ${figure.frames} frames drawn of ${figure.frames_due} at the show's pace` +
                ` (${pace} %), ${fps.toFixed(1)} animation frames a second, ${figure.frame_ms.toFixed(2)} ms a frame`);
  }

  function animationFrame(now) {
    if (!playing)
      return;
    const { time, raw } = showClockMs(now);
    const more = Show()._lanternfay_advance(time, FRAME_BUDGET_MS);
    const scene = Show()._lanternfay_scene();
    api.samples.push({ now, audio: music.source ? raw : null, clock: Show()._lanternfay_clock_ms(), scene });
    if (scene !== lastScene) {
      if (lastScene >= 1 && lastScene <= SCENE_COUNT)
        logScene(reportScenes()[lastScene - 1]);
      lastScene = scene;
    }
    if (!more) {
      finish('The end. Thank you for watching.');
      return;
    }
    requestAnimationFrame(animationFrame);
  }

  function begin() {
    if (api.state !== 'ready')
      return;
    api.state = 'playing';
    cover.classList.add('hidden');
    stage.classList.add('playing');
    if (music.context)
      music.context.resume();
    Show()._lanternfay_begin(0, fromMs);
    clock.wallStart = performance.now();
    playing = true;
    requestAnimationFrame(animationFrame);
  }

  // The closing screen: after the last scene, or when Escape ends the show.
  function finish(text) {
    if (!playing)
      return;
    playing = false;
    const figures = reportScenes();
    if (lastScene >= 1 && lastScene <= SCENE_COUNT)
      logScene(figures[lastScene - 1]);
    Show()._lanternfay_end();
    api.state = 'ended';
    stage.classList.remove('playing');
    cover.classList.remove('hidden');
    say(text + ' Reload the page to watch it again.');
  }

  function toggleFullScreen() {
    if (document.fullscreenElement)
      document.exitFullscreen();
    else if (stage.requestFullscreen)
      stage.requestFullscreen().catch((error) => console.warn('No full screen: ' + error.message));
  }

  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      finish('The show was ended.');
    } else if (event.key === 'f' || event.key === 'F') {
      toggleFullScreen();
    } else if (event.key === 's' || event.key === 'S') {
      stage.classList.toggle('sharp');   // sharp or smooth scaling
    } else {
      begin();
    }
  });
  cover.addEventListener('click', begin);
  document.getElementById('fullscreen').addEventListener('click', toggleFullScreen);
  document.addEventListener('visibilitychange', () => console.log('tab ' + document.visibilityState));

  // ---- The tests' entries (?test): moments on virtual time --------------------------

  function testEntries() {
    api.begin = (cadenceMs) => Show()._lanternfay_begin(cadenceMs || 0, 0);
    api.playTo = (showMs) => Show()._lanternfay_play_to(showMs);
    // The canvas as red, green, blue bytes, base64.
    api.pixels = () => {
      const rgba = context2d.getImageData(0, 0, canvas.width, canvas.height).data;
      const rgb = new Uint8Array(canvas.width * canvas.height * 3);
      for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
        rgb[j] = rgba[i];
        rgb[j + 1] = rgba[i + 1];
        rgb[j + 2] = rgba[i + 2];
      }
      let text = '';
      for (let i = 0; i < rgb.length; i += 32768)
        text += String.fromCharCode.apply(null, rgb.subarray(i, i + 32768));
      return btoa(text);
    };
  }

  prepare().then(() => {
    api.readyMs = performance.now();
    console.log(`page ready to start ${api.readyMs.toFixed(0)} ms after load`);
    api.state = 'ready';
    if (testMode) {
      testEntries();
      say('Ready (test).');
      return;
    }
    if (autoplay && music.context && music.context.state === 'running') {
      begin();
      return;
    }
    api.state = 'ready';
    say(autoplay ? 'This browser lets the music start only after a click or a key: click or press any key to start.'
                 : 'Click or press any key to start. F: full screen, Escape: end.');
    if (autoplay)
      api.waitingForClick = true;
  }).catch((error) => fail('The show cannot start: ' + error.message + '.'));
})();
