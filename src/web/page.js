// page.js — the page around the show: loads the show's program, its data
// pack and its music with one progress bar over a poster, waits for one
// click, tap or key (the browser lets sound start only then), drives the
// show from the music's clock once per animation frame, and gives the
// viewer a player's controls: pause, chapters (the scenes' starts), restart,
// volume, full screen.
//
//   index.html               the show, after a click, a tap or a key
//   index.html?autoplay      starts at once where the browser allows sound without a click
//   index.html?from=24       starts at the start of the scene that holds show time 24 s
//   index.html?test          no music; window.lanternfay plays moments on virtual time
//
// What must stay true: the show's clock follows the music's position (the
// audio output's own clock) and never runs back between two starts (the
// first, a chapter); while paused neither moves;
// a chapter starts the show and its music together at the scene's start.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const testMode = params.has('test');
  const autoplay = params.has('autoplay');
  const fromS = Math.max(0, parseFloat(params.get('from') || '0') || 0);
  const FRAME_BUDGET_MS = 10;   // drawing time per animation frame before frames are left out
  const SCENE_COUNT = 8;
  const SHOW_MS = 198000;
  const CONTROLS_LINGER_MS = 2500;
  const PACK = 'data/lanternfay-data.tar.gz';
  const MUSIC = 'data/lanternfay.ogg';
  const PROGRAM = 'lanternfay.wasm';
  const CHAPTERS = ['Flight through the seasons', 'Colour rings', 'The twisting column', 'Grass and cubes',
                    'The hopping car', 'Drifting seeds', 'Greetings', 'The closing screen'];
  const touchScreen = window.matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0;

  const $ = (id) => document.getElementById(id);
  const stage = $('stage'), cover = $('cover'), canvas = $('show'), poster = $('poster');
  const context2d = canvas.getContext('2d');
  const controls = $('controls');
  const printed = [];

  // What the page did, for the viewer's console and for the tests.
  const api = window.lanternfay = {
    state: 'loading', readyMs: null, progressMs: null, problem: null, notice: null,
    samples: [], figures: null, paused: false,
  };

  // Minutes and seconds, as a player shows them.
  const clockText = (ms) => {
    const s = Math.max(0, Math.floor(ms / 1000));
    return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, '0')}`;
  };

  function say(text) { $('status').textContent = text; }

  function fail(text) {
    if (api.state === 'failed')
      return;
    api.state = 'failed';
    api.problem = text;
    playing = false;
    cover.classList.remove('hidden');
    controls.classList.add('hidden');
    $('loading').classList.add('hidden');
    $('start').classList.add('hidden');
    $('chapters').classList.add('hidden');
    say('');
    $('notice').textContent = text;
    console.error(text);
  }

  // A problem the show plays on with (no music): said on the page, once.
  function notice(text) {
    api.notice = text;
    $('notice').textContent = text;
    console.warn(text);
  }

  window.addEventListener('error', (event) => fail('The show stopped: ' + event.message));

  // What a host has to do when a file does not come.
  const SERVE_HINT = location.protocol === 'file:'
    ? 'This page fetches its files, which a browser does not allow from file://: serve the folder over http(s), ' +
      'for example with scripts/web.sh serve, and open http://127.0.0.1:8000/.'
    : 'Copy the whole folder web/ to the host as it is, then reload the page.';

  // ---- Loading, with progress ------------------------------------------------------

  const sizes = JSON.parse($('sizes').textContent);
  const loaded = {};

  function showProgress() {
    const total = Object.values(sizes).reduce((a, b) => a + b, 0);
    const done = Object.values(loaded).reduce((a, b) => a + b, 0);
    const share = total > 0 ? Math.min(1, done / total) : 0;
    const mb = (bytes) => (bytes / 1e6).toFixed(1);
    $('bar').firstElementChild.style.width = (100 * share).toFixed(1) + '%';
    $('progress').textContent = `Loading the show: ${mb(Math.min(done, total))} of ${mb(total)} MB ` +
                                `(${Math.floor(100 * share)} %)`;
    if (api.progressMs === null)
      api.progressMs = performance.now();
  }

  // The bytes of a file of the page, counted into the progress as they
  // come. With gunzip they go through the browser's own DecompressionStream
  // on their way in (unless the host compressed them on the wire itself, and
  // the browser has already undone it): a gzip'd file needs no server setting.
  // With onChunk, each piece goes there as it comes, and nothing is returned.
  async function fetchBytes(name, what, gunzip, onChunk) {
    let response;
    try {
      response = await fetch(name);
    } catch (error) {
      throw new Error(`${what} ${name} could not be loaded (${error.message}). ${SERVE_HINT}`);
    }
    if (!response.ok)
      throw new Error(`${what} ${name} could not be loaded (${response.status} ${response.statusText}). ${SERVE_HINT}`);
    let length = 0;
    let body = response.body.pipeThrough(new TransformStream({
      transform(chunk, controller) {
        length += chunk.length;
        loaded[name] = length;
        showProgress();
        controller.enqueue(chunk);
      },
    }));
    if (gunzip && !/gzip/.test(response.headers.get('Content-Encoding') || ''))
      body = body.pipeThrough(new DecompressionStream('gzip'));
    const chunks = [];
    try {
      const reader = body.getReader();
      for (let part = await reader.read(); !part.done; part = await reader.read())
        onChunk ? onChunk(part.value) : chunks.push(part.value);
    } catch (error) {
      throw new Error(`${what} ${name} is damaged or was cut short (${length} bytes came, ${sizes[name]} expected). ` +
                      'Copy it to the host again, then reload the page.');
    }
    console.log(`${name}: ${length} bytes in ${(performance.now() / 1000).toFixed(2)} s after load`);
    return onChunk ? null : joined(chunks, chunks.reduce((sum, chunk) => sum + chunk.length, 0));
  }

  function joined(chunks, length) {
    const bytes = new Uint8Array(length);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }

  // The data pack: a tar (ustar), gzip'd, of the meshes and of the pictures
  // as PNGs (a third smaller on the wire than the BMPs gzip'd), which are
  // turned back into the show's BMP files here, byte for byte the pixels the
  // generator wrote. Each file is taken out as soon as it is in, so that the
  // pictures are made while the rest of the pack still comes.
  function untar(onFile) {
    const text = new TextDecoder();
    let pending = [], pendingLength = 0, header = null, ended = false;
    return (chunk) => {
      pending.push(chunk);
      pendingLength += chunk.length;
      for (;;) {
        if (ended)
          return;
        if (!header) {
          if (pendingLength < 512)
            return;
          const block = take(512);
          if (block[0] === 0) {
            ended = true;   // the end of the archive
            return;
          }
          const field = (from, length) => text.decode(block.subarray(from, from + length)).replace(/\0.*$/s, '');
          header = { name: field(0, 100), size: parseInt(field(124, 12).trim(), 8), type: field(156, 1) };
          if (!(header.size >= 0) || field(257, 5) !== 'ustar')
            throw new Error('not a tar');
        }
        const padded = Math.ceil(header.size / 512) * 512;
        if (pendingLength < padded)
          return;
        const data = take(padded).subarray(0, header.size);
        if (header.type === '0' || header.type === '')
          onFile(header.name, data);
        header = null;
      }
    };
    function take(count) {
      const whole = joined(pending, pendingLength);
      pending = [whole.subarray(count)];
      pendingLength -= count;
      return whole.subarray(0, count);
    }
  }

  // An 8-bit RGB PNG (what the build writes) as a 24-bit BMP: its rows
  // inflated by the browser's DecompressionStream, unfiltered as PNG
  // defines, and laid bottom-up in blue, green, red, padded to 4 bytes.
  async function bmpOfPng(name, png) {
    const view = new DataView(png.buffer, png.byteOffset, png.byteLength);
    const width = view.getUint32(16), height = view.getUint32(20);
    if (png[24] !== 8 || png[25] !== 2 || png[28] !== 0)
      throw new Error(name + ' is not an 8-bit RGB PNG');
    const idat = [];
    for (let at = 8; at + 8 <= png.length; ) {
      const length = view.getUint32(at), type = text4(png, at + 4);
      if (type === 'IDAT')
        idat.push(png.subarray(at + 8, at + 8 + length));
      at += 12 + length;
    }
    const stream = new Blob(idat).stream().pipeThrough(new DecompressionStream('deflate'));
    const rows = new Uint8Array(await new Response(stream).arrayBuffer());
    const stride = width * 3, pitch = (stride + 3) & ~3;
    if (rows.length < height * (stride + 1))
      throw new Error(name + ' is cut short');
    const bmp = new Uint8Array(54 + pitch * height);
    const header = new DataView(bmp.buffer);
    bmp[0] = 0x42, bmp[1] = 0x4d;
    header.setUint32(2, bmp.length, true);
    header.setUint32(10, 54, true);
    header.setUint32(14, 40, true);
    header.setInt32(18, width, true);
    header.setInt32(22, height, true);
    header.setUint16(26, 1, true);
    header.setUint16(28, 24, true);
    header.setUint32(34, pitch * height, true);
    header.setInt32(38, 2835, true);   // 72 dots an inch, as the generator writes
    header.setInt32(42, 2835, true);
    let previous = new Uint8Array(stride);
    let current = new Uint8Array(stride);
    for (let y = 0; y < height; y++) {
      const filter = rows[y * (stride + 1)];
      const line = rows.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
      unfilter(filter, line, previous, current, name);
      const out = 54 + (height - 1 - y) * pitch;
      for (let x = 0; x < stride; x += 3) {
        bmp[out + x] = current[x + 2];
        bmp[out + x + 1] = current[x + 1];
        bmp[out + x + 2] = current[x];
      }
      [previous, current] = [current, previous];
    }
    return bmp;
  }

  // One row of PNG's filters undone (3 bytes a pixel); a loop per filter, as
  // this runs over every byte of every picture.
  function unfilter(filter, line, previous, current, name) {
    const n = line.length;
    if (filter === 0) {
      current.set(line);
    } else if (filter === 1) {
      for (let i = 0; i < n; i++)
        current[i] = (line[i] + (i >= 3 ? current[i - 3] : 0)) & 255;
    } else if (filter === 2) {
      for (let i = 0; i < n; i++)
        current[i] = (line[i] + previous[i]) & 255;
    } else if (filter === 3) {
      for (let i = 0; i < 3; i++)
        current[i] = (line[i] + (previous[i] >> 1)) & 255;
      for (let i = 3; i < n; i++)
        current[i] = (line[i] + ((current[i - 3] + previous[i]) >> 1)) & 255;
    } else if (filter === 4) {
      for (let i = 0; i < 3; i++)
        current[i] = (line[i] + previous[i]) & 255;   // no left: Paeth picks the byte above
      for (let i = 3; i < n; i++) {
        const a = current[i - 3], b = previous[i], c = previous[i - 3];
        const pa = Math.abs(b - c), pb = Math.abs(a - c), pc = Math.abs(a + b - 2 * c);
        current[i] = (line[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c)) & 255;
      }
    } else {
      throw new Error(name + ' has an unknown row filter');
    }
  }

  function text4(bytes, at) { return String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]); }

  // ---- The music ---------------------------------------------------------------

  const music = {
    context: null, buffer: null, showGain: null, viewerGain: null, source: null,
    startContextTime: 0, fromMs: 0, showVolume: 1, volume: 1, muted: false,
  };

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

  function viewerLevel() { return music.muted ? 0 : music.volume * music.volume; }

  // The music's playing position in show milliseconds at performance time
  // now: what the listener hears, from the audio output's own clock. The
  // output's time stamp is trusted only while the audio runs: a suspended
  // context keeps its last stamp, which must not be carried forward.
  function audioPositionMs(now) {
    const context = music.context;
    const stamp = context.state === 'running' && context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    let contextTime = context.currentTime - (context.outputLatency || 0);
    if (stamp && stamp.performanceTime > 0)
      contextTime = stamp.contextTime + (now - stamp.performanceTime) / 1000;
    return music.fromMs + (contextTime - music.startContextTime) * 1000;
  }

  // The show's clock: the audio position smoothed against performance.now(),
  // so that its coarse steps do not shake the picture; it never runs back.
  // Without music it is the page's own time, less the time spent paused.
  const clock = { offset: null, last: -Infinity, wallStart: 0, pausedAt: null };
  function resetClock(fromMs) {
    clock.offset = null;
    clock.last = fromMs;
    clock.wallStart = performance.now() - fromMs;
  }
  function showClockMs(now) {
    const raw = music.source ? audioPositionMs(now) : now - clock.wallStart;
    const target = raw - now;
    if (clock.offset === null || Math.abs(target - clock.offset) > 50)
      clock.offset = target;   // the first reading, or the audio jumped (a frozen tab, a pause)
    else
      clock.offset += (target - clock.offset) * 0.05;
    const time = Math.max(now + clock.offset, clock.last);
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
      const context = music.context;
      music.viewerGain = context.createGain();
      music.viewerGain.gain.value = viewerLevel();
      music.viewerGain.connect(context.destination);
      music.showGain = context.createGain();
      music.showGain.gain.value = music.showVolume;
      music.showGain.connect(music.viewerGain);
      music.source = context.createBufferSource();
      music.source.buffer = music.buffer;
      music.source.connect(music.showGain);
      music.startContextTime = context.currentTime;
      music.source.start(music.startContextTime, music.fromMs / 1000);
      if (!api.paused)
        context.resume();
      return true;
    },
    // SDL_mixer 1.2's fade: from the next 2048-sample buffer the mixer
    // fills, the volume steps down once per buffer over `steps` buffers:
    // buffer k (1..steps) at present.h's music_fade_volume(k, steps); then
    // the music halts.
    musicFade(steps, stepMs) {
      if (!music.source)
        return;
      const context = music.context;
      const bufferSeconds = 2048 / 44100;
      const position = music.fromMs / 1000 + (context.currentTime - music.startContextTime);
      const first = Math.ceil(position / bufferSeconds);
      const at = (buffer) => music.startContextTime + buffer * bufferSeconds - music.fromMs / 1000;
      for (let k = 1; k <= steps; k++) {
        const volume = Math.floor(128 * (steps - k) / steps) / 128;
        music.showGain.gain.setValueAtTime(volume * music.showVolume, Math.max(context.currentTime, at(first + k - 1)));
      }
      music.source.stop(Math.max(context.currentTime, at(first + steps)));
      console.log(`music fades out over ${steps} buffers of ${stepMs} ms`);
    },
    musicVolume(volume) {
      music.showVolume = volume / 128;
      if (music.showGain)
        music.showGain.gain.value = music.showVolume;
    },
    musicStop() {
      if (music.source)
        music.source.stop();
      music.source = null;
    },
    musicPause(paused) {
      // The show pauses its music only as it shuts down; the viewer's pause is the page's own.
      if (music.context && paused)
        music.context.suspend();
    },
  };

  // ---- The show --------------------------------------------------------------------

  // The show's program, fetched here so that it counts into the progress
  // and a missing one is named.
  const programBytes = fetchBytes(PROGRAM, "The show's program");
  window.Module = {
    lanternfayPage: page,
    print: (line) => { printed.push(line); console.log(line); },
    printErr: (line) => console.warn(line),
    onAbort: (what) => fail('The show stopped: ' + what),
    instantiateWasm(imports, done) {
      programBytes
        .then((bytes) => WebAssembly.instantiate(bytes, imports))
        .then((result) => done(result.instance, result.module))
        .catch((error) => fail('The show cannot start: ' + error.message));
      return {};
    },
  };
  const runtimeReady = new Promise((resolve, reject) => {
    window.Module.onRuntimeInitialized = resolve;
    const script = document.createElement('script');
    script.src = 'lanternfay.js';
    script.onerror = () => reject(new Error(`its program lanternfay.js could not be loaded. ${SERVE_HINT}`));
    document.body.appendChild(script);
  });

  // The data pack comes after the music: decoding the music takes a while,
  // and goes on while the pack comes in; the start-up needs the pack only.
  async function loadPack(musicLoaded) {
    await musicLoaded.catch(() => {});
    const files = [];
    const damaged = (error) => new Error(`The show's data ${PACK} is damaged (${error.message}). ` +
                                         'Copy it to the host again, then reload the page.');
    const onChunk = untar((name, bytes) => files.push(name.endsWith('.png')
      ? bmpOfPng(name, bytes).then((bmp) => [name.replace(/\.png$/, '.bmp'), bmp])
      : Promise.resolve([name, bytes])));
    try {
      await fetchBytes(PACK, "The show's data", true, onChunk);
    } catch (error) {
      throw /damaged|cut short|could not/.test(error.message) ? error : damaged(error);
    }
    if (!files.length)
      throw damaged(new Error('no files'));
    return Promise.all(files).catch((error) => { throw damaged(error); });
  }

  // The music: missing or damaged, the show plays silent and says so.
  async function decodeMusic(musicLoaded) {
    let bytes;
    try {
      bytes = await musicLoaded;
    } catch (error) {
      notice(error.message.replace(/\. /, ': the show plays silent. '));
      return;
    }
    music.context = makeAudioContext();
    if (music.context) {
      try {
        const begun = performance.now();
        const buffer = await music.context.decodeAudioData(bytes.slice().buffer);
        console.log(`the music was decoded in ${(performance.now() - begun).toFixed(0)} ms`);
        // A file cut short decodes as far as it goes: only the whole show's music will do.
        if (buffer.duration * 1000 < SHOW_MS - 1000)
          throw new Error(`it holds ${clockText(buffer.duration * 1000)} of the show's ${clockText(SHOW_MS)}`);
        music.buffer = buffer;
      } catch (error) {
        notice(`The music ${MUSIC} is damaged (${error.message || error}): the show plays silent. ` +
               'Copy it to the host again, then reload the page.');
      }
    }
  }

  async function prepare() {
    if (location.protocol === 'file:')
      throw new Error(SERVE_HINT);
    const musicLoaded = fetchBytes(MUSIC, 'The music');
    const musicDecoded = decodeMusic(musicLoaded);
    const [files, musicBytes] = await Promise.all([loadPack(musicLoaded), musicLoaded.catch(() => null), runtimeReady]);
    const FS = window.Module.FS;
    const written = performance.now();
    FS.mkdir('/data');
    for (const [name, bytes] of files)
      FS.writeFile('/data/' + name, bytes);
    if (musicBytes)
      FS.writeFile('/' + MUSIC, musicBytes);
    const begun = performance.now();
    console.log(`the files were written in ${(begun - written).toFixed(0)} ms`);
    if (!window.Module._lanternfay_start_up())
      throw new Error((printed.join(' ') || 'its start-up failed') + ` ${SERVE_HINT}`);
    console.log(`the show's start-up took ${(performance.now() - begun).toFixed(0)} ms`);
    // The start-up went on while the browser decoded the music on a thread of
    // its own; music it could not decode leaves the show silent (SDL_mixer's
    // play is refused), and the page has said why.
    await musicDecoded;
  }

  // ---- Playing -----------------------------------------------------------------------

  const Show = () => window.Module;
  let playing = false;
  let lastScene = 0;
  const sceneStartMs = [];

  function sceneAt(showMs) {
    let scene = 1;
    while (scene < SCENE_COUNT && showMs >= sceneStartMs[scene + 1])
      scene++;
    return scene;
  }

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

  function showPosition(showMs, scene) {
    $('time').textContent = `${clockText(showMs)} / ${clockText(SHOW_MS)}`;
    if (scene >= 1 && scene <= SCENE_COUNT)
      $('chapter').textContent = `${scene}/${SCENE_COUNT} ${CHAPTERS[scene - 1]}`;
  }

  function animationFrame(now) {
    if (!playing || api.paused)
      return;
    const { time, raw } = showClockMs(now);
    const more = Show()._lanternfay_advance(time, FRAME_BUDGET_MS);
    const scene = Show()._lanternfay_scene();
    const clockMs = Show()._lanternfay_clock_ms();
    api.samples.push({ now, audio: music.source ? raw : null, clock: clockMs, scene });
    if (scene !== lastScene) {
      if (lastScene >= 1 && lastScene <= SCENE_COUNT)
        logScene(reportScenes()[lastScene - 1]);
      lastScene = scene;
    }
    showPosition(Math.max(0, clockMs), scene);
    if (!more) {
      finish('The end. Thank you for watching.');
      return;
    }
    requestAnimationFrame(animationFrame);
  }

  // Starts the show (its first start, or a chapter) at the start of scene.
  function playFrom(scene) {
    if (!['ready', 'playing', 'ended'].includes(api.state))
      return;
    if (playing && lastScene >= 1 && lastScene <= SCENE_COUNT)
      logScene(reportScenes()[lastScene - 1]);
    const first = api.state === 'ready';
    api.state = 'playing';
    api.paused = false;
    cover.classList.add('hidden');
    poster.classList.add('gone');
    stage.classList.add('playing');
    setPlayIcon();
    music.fromMs = sceneStartMs[scene];
    if (music.context)
      music.context.resume();
    if (first) {
      Show()._lanternfay_begin(0, scene);
      if (api.notice)
        toast(api.notice);   // the start screen said it; said again over the picture
    } else if (!Show()._lanternfay_chapter(0, scene)) {
      fail('The show cannot start again: ' + printed.join(' '));
      return;
    }
    lastScene = 0;
    resetClock(music.fromMs);
    showPosition(music.fromMs, scene);
    wake();
    if (!playing) {
      playing = true;
      requestAnimationFrame(animationFrame);
    }
  }

  function toast(text) {
    $('toast').textContent = text;
    $('toast').classList.remove('hidden');
    setTimeout(() => $('toast').classList.add('hidden'), 8000);
  }

  function chapter(step) {
    if (api.state !== 'playing')
      return;
    const scene = Show()._lanternfay_scene();
    // Back goes to this scene's start first, as players do, unless it has just begun.
    const intoScene = Show()._lanternfay_clock_ms() - sceneStartMs[scene];
    const target = step < 0 && intoScene > 3000 ? scene : scene + step;
    if (target >= 1 && target <= SCENE_COUNT)
      playFrom(target);
    else if (target > SCENE_COUNT)
      finish('The show was ended.');
  }

  function setPlayIcon() {
    const button = $('play');
    button.firstElementChild.firstElementChild.setAttribute('href', api.paused ? '#i-play' : '#i-pause');
    button.title = api.paused ? 'Play (Space)' : 'Pause (Space)';
    button.setAttribute('aria-label', api.paused ? 'Play' : 'Pause');
  }

  // Pause and resume: the audio output stops and goes on where it stood,
  // and the show's clock, which follows it, with it.
  function togglePause() {
    if (api.state !== 'playing')
      return;
    api.paused = !api.paused;
    setPlayIcon();
    wake();
    if (api.paused) {
      clock.pausedAt = performance.now();
      if (music.context)
        music.context.suspend();
      console.log('paused at ' + clock.last.toFixed(0) + ' ms');
      return;
    }
    const resume = () => {
      clock.wallStart += performance.now() - clock.pausedAt;
      clock.offset = null;
      if (!api.paused)
        requestAnimationFrame(animationFrame);
    };
    if (music.context)
      music.context.resume().then(resume);
    else
      resume();
  }

  function setVolume(volume, muted) {
    music.volume = Math.min(1, Math.max(0, volume));
    music.muted = muted;
    if (music.viewerGain)
      music.viewerGain.gain.value = viewerLevel();
    $('volume').value = String(Math.round(music.volume * 100));
    $('mute').firstElementChild.firstElementChild.setAttribute('href', muted || !music.volume ? '#i-muted' : '#i-sound');
    $('mute').setAttribute('aria-label', muted ? 'Sound on' : 'Mute');
    try {
      localStorage.setItem('lanternfay-volume', JSON.stringify({ volume: music.volume, muted }));
    } catch (error) { /* no storage: the setting lasts this visit */ }
  }

  // The closing screen: after the last scene, or when the viewer ends the show.
  function finish(text) {
    if (!playing)
      return;
    playing = false;
    api.paused = false;
    const figures = reportScenes();
    if (lastScene >= 1 && lastScene <= SCENE_COUNT)
      logScene(figures[lastScene - 1]);
    Show()._lanternfay_end();
    api.state = 'ended';
    if (document.fullscreenElement)
      document.exitFullscreen().catch(() => {});
    stage.classList.remove('playing');
    controls.classList.add('hidden');
    cover.classList.remove('hidden');
    cover.classList.add('closing');
    $('start').textContent = 'Watch it again';
    $('start').classList.remove('hidden');
    $('chapters').classList.remove('hidden');
    say(text);
  }

  // ---- The controls: shown on a touch, a mouse move or a key; gone while
  // the show plays untouched -------------------------------------------------------

  let idleTimer = 0;
  function wake() {
    if (api.state !== 'playing')
      return;
    controls.classList.remove('hidden');
    stage.classList.remove('idle');
    clearTimeout(idleTimer);
    idleTimer = setTimeout(() => {
      if (api.state === 'playing' && !api.paused && !controls.matches(':hover')) {
        controls.classList.add('hidden');
        stage.classList.add('idle');
      }
    }, CONTROLS_LINGER_MS);
  }

  function toggleFullScreen() {
    if (document.fullscreenElement)
      document.exitFullscreen();
    else if (stage.requestFullscreen)
      stage.requestFullscreen().catch((error) => console.warn('No full screen: ' + error.message));
  }
  document.addEventListener('fullscreenchange', () => {
    const full = !!document.fullscreenElement;
    const button = $('fullscreen');
    button.firstElementChild.firstElementChild.setAttribute('href', full ? '#i-shrink' : '#i-enlarge');
    button.title = full ? 'Leave full screen (F)' : 'Full screen (F)';
    button.setAttribute('aria-label', full ? 'Leave full screen' : 'Full screen');
  });

  function startOrWatchAgain() {
    if (api.state === 'ready')
      playFrom(sceneAt(fromS * 1000));
    else if (api.state === 'ended')
      playFrom(1);
  }

  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey || ['Tab', 'Shift', 'Control', 'Alt', 'Meta'].includes(event.key))
      return;   // a shortcut of the browser's, or moving between the page's buttons
    const key = event.key;
    const inControls = event.target instanceof HTMLButtonElement || event.target instanceof HTMLInputElement;
    wake();
    if (event.target === $('volume') && key.startsWith('Arrow'))
      return;   // the slider's own keys
    if (key === 'Escape') {
      if (document.fullscreenElement)
        document.exitFullscreen();   // Escape leaves full screen first, as everywhere
      else
        finish('The show was ended.');
    } else if (key === 'f' || key === 'F') {
      toggleFullScreen();
    } else if (key === 's' || key === 'S') {
      stage.classList.toggle('sharp');   // sharp or smooth scaling
    } else if (api.state !== 'playing') {
      if (!inControls || key !== 'Enter' && key !== ' ')
        startOrWatchAgain();
      return;
    } else if (key === ' ' || key === 'k' || key === 'K') {
      togglePause();
    } else if (key === 'ArrowRight' || key === 'PageDown' || key === 'n' || key === 'N') {
      chapter(+1);
    } else if (key === 'ArrowLeft' || key === 'PageUp' || key === 'p' || key === 'P') {
      chapter(-1);
    } else if (key === 'Home') {
      playFrom(1);
    } else if (key === 'm' || key === 'M') {
      setVolume(music.volume, !music.muted);
    } else if (key === 'ArrowUp' || key === 'ArrowDown') {
      setVolume(music.volume + (key === 'ArrowUp' ? 0.1 : -0.1), false);
    } else {
      return;
    }
    event.preventDefault();
  });

  // On the picture: a click pauses or resumes; a tap shows the controls
  // first, and pauses or resumes once they are there.
  let touched = false;
  stage.addEventListener('touchstart', () => { touched = true; }, { passive: true });
  canvas.addEventListener('click', () => {
    const shown = !controls.classList.contains('hidden');
    if (!touched || shown)
      togglePause();
    touched = false;
    wake();
  });
  stage.addEventListener('mousemove', wake);
  $('start').addEventListener('click', startOrWatchAgain);
  cover.addEventListener('click', (event) => {
    if (event.target === cover || event.target === cover.firstElementChild || event.target === poster)
      startOrWatchAgain();
  });
  $('play').addEventListener('click', togglePause);
  $('previous').addEventListener('click', () => chapter(-1));
  $('next').addEventListener('click', () => chapter(+1));
  $('restart').addEventListener('click', () => playFrom(1));
  $('mute').addEventListener('click', () => setVolume(music.volume, !music.muted));
  $('volume').addEventListener('input', (event) => setVolume(event.target.value / 100, false));
  $('fullscreen').addEventListener('click', toggleFullScreen);
  controls.addEventListener('click', wake);
  document.addEventListener('visibilitychange', () => console.log('tab ' + document.visibilityState));

  try {
    const kept = JSON.parse(localStorage.getItem('lanternfay-volume') || 'null');
    if (kept)
      setVolume(Number(kept.volume), !!kept.muted);
  } catch (error) { /* no storage, or nothing kept */ }

  // The links the build set; those it did not stay hidden.
  for (const link of [$('downloads'), $('video')])
    link.hidden = !/^https?:/.test(link.getAttribute('href'));

  // ---- The tests' entries (?test): moments on virtual time --------------------------

  function testEntries() {
    api.begin = (cadenceMs) => Show()._lanternfay_begin(cadenceMs || 0, 1);
    api.chapter = (scene, cadenceMs) => Show()._lanternfay_chapter(cadenceMs || 0, scene);
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

  showProgress();
  prepare().then(() => {
    $('chapters').append('Start at a scene: ');
    for (let scene = 1; scene <= SCENE_COUNT; scene++) {
      sceneStartMs[scene] = Show()._lanternfay_scene_start_ms(scene);
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = String(scene);
      button.title = `${CHAPTERS[scene - 1]} (${clockText(sceneStartMs[scene])})`;
      button.addEventListener('click', () => playFrom(scene));
      $('chapters').appendChild(button);
    }
    api.readyMs = performance.now();
    console.log(`page ready to start ${api.readyMs.toFixed(0)} ms after load`);
    api.state = 'ready';
    $('loading').classList.add('hidden');
    $('chapters').classList.remove('hidden');
    const start = $('start');
    start.disabled = false;
    if (testMode) {
      testEntries();
      say('Ready (test).');
      return;
    }
    if (fromS > 0)
      start.textContent = `Start at scene ${sceneAt(fromS * 1000)}`;
    if (autoplay && (!music.context || music.context.state === 'running')) {   // no music: no sound to allow
      startOrWatchAgain();
      return;
    }
    const how = touchScreen
      ? 'Tap to start. Tap the picture for the controls.'
      : 'Click or press any key to start. Space: pause, ← →: scenes, M: mute, F: full screen, Escape: end.';
    say(autoplay ? 'This browser lets the music start only after a click, a tap or a key. ' + how : how);
    start.focus({ preventScroll: true });
  }).catch((error) => fail(/^The /.test(error.message) ? error.message : 'The show cannot start: ' + error.message));
})();
