// The disk as a web page. The program itself (vellumbra.wasm) draws every
// picture and makes every sound; this script is its host: it loads the
// disk's files, shows the pictures on the canvas at the zoom that fits,
// hands keys and the pointer over, runs the main loop and is the sound
// device (Web Audio pulling the program's buffers at 44100 Hz).
//
// ?test adds a hook for the page's check (window.pageTest); ?lockstep runs
// the program one frame at a time with each frame's own sound, as the Linux
// capture renders it, instead of by the clock.
'use strict';

(function () {
  const width = 640;
  const height = 400;
  const sampleRate = 44100;
  const canvas = document.getElementById('disk');
  const context = canvas.getContext('2d', { alpha: false });
  let image = null;
  const params = new URLSearchParams(location.search);
  const lockstep = params.has('lockstep');

  // SDL 1.2's numbers for the keys the program answers to.
  const sdlKeys = {
    Backspace: 8, Enter: 13, Escape: 27, ' ': 32, Spacebar: 32,
    ArrowUp: 273, ArrowDown: 274, ArrowRight: 275, ArrowLeft: 276,
    Up: 273, Down: 274, Right: 275, Left: 276, Esc: 27,
  };

  let program = null;
  let state = 'loading';  // then 'ready' (the prompt), 'playing', 'ended'
  let startedAt = 0;
  let audio = null;
  let startKey = null;    // the key that started the page: its release is not the program's
  let pending = 0;        // the next tick's animation frame, or 0
  let timer = 0;          // the next tick's timeout while hidden, or 0

  const test = params.has('test') ? {
    ready: false, frame: -1, shots: {}, clickAt: 0, firstFrameAt: 0,
    wanted: new Set((params.get('frames') || '').split(',').filter(Boolean).map(Number)),
    pcm: [], pcmFrames: 0, pcmLimit: Number(params.get('pcm') || 0) * sampleRate,
    callbacks: 0, late: 0, ended: false, errors: [], soundFrom: -1, workMs: 0,
    // Buffers the sound clock asked for since the first: fewer handed over means a gap.
    buffersDue: () => audio && test.soundFrom >= 0
      ? Math.floor((audio.currentTime - test.soundFrom) * audio.sampleRate / 4096) : 0,
    hidden: () => document.hidden,
    track: () => program._page_track(),
    playing: () => program._page_playing(),
  } : null;
  if (test) window.pageTest = test;

  // The largest whole zoom in device pixels that fits, so every canvas
  // pixel is a sharp square of screen pixels; a window smaller than the
  // canvas (a phone held upright) shows it scaled down to fit.
  function fit() {
    const ratio = window.devicePixelRatio || 1;
    const room = Math.min(window.innerWidth / width, window.innerHeight / height);
    const scale = room < 1 ? room : Math.max(1, Math.floor(room * ratio) / ratio);
    canvas.style.width = width * scale + 'px';
    canvas.style.height = height * scale + 'px';
  }
  window.addEventListener('resize', fit);
  window.addEventListener('orientationchange', fit);
  document.addEventListener('fullscreenchange', fit);
  fit();

  // The program's picture, read in place: a view of its memory, made again
  // only when the memory has grown (which replaces the buffer).
  function show() {
    if (!image || image.data.buffer !== program.HEAPU8.buffer) {
      const at = program._page_pixels();
      image = new ImageData(new Uint8ClampedArray(program.HEAPU8.buffer, at, width * height * 4), width, height);
    }
    context.putImageData(image, 0, 0);
  }

  function keep(frame) {
    if (!test) return;
    test.frame = frame;
    if (!test.wanted.has(frame)) return;
    const pixels = context.getImageData(0, 0, width, height).data;
    let text = '';
    for (let i = 0; i < pixels.length; i += 8192)
      text += String.fromCharCode.apply(null, pixels.subarray(i, i + 8192));
    test.shots[frame] = btoa(text);
  }

  // ---- the main loop -------------------------------------------------

  function schedule() {
    if (state !== 'playing') return;
    // A hidden tab gets no animation frames: a slow timer keeps the
    // notifications and the end of a quit going while the music plays on.
    if (document.hidden) timer = setTimeout(tick, 250);
    else pending = requestAnimationFrame(tick);
  }

  // For the benchmark: the time the program and this script take, apart
  // from the browser's own drawing of the page.
  function measured(work) {
    if (!test) return work();
    const begin = performance.now();
    const result = work();
    test.workMs += performance.now() - begin;
    return result;
  }

  function tick() {
    pending = 0;
    timer = 0;
    if (measured(advance)) schedule();
  }

  // One tick's work; false once the program has ended.
  function advance() {
    if (lockstep) {
      const steps = Number(params.get('lockstep')) || 1;
      for (let i = 0; i < steps; ++i) {
        const next = test ? test.frame + 1 : 0;
        const wanted = test && test.wanted.has(next);
        const frame = program._page_step(wanted ? 1 : 0);
        if (wanted) show();
        keep(frame);
      }
    } else {
      const frame = program._page_tick(performance.now() - startedAt);
      if (frame >= 0) {
        show();
        // Painted once the task that drew it has ended: the next animation frame.
        if (test && test.firstFrameAt === 0) {
          test.firstFrameAt = -1;
          requestAnimationFrame(() => { test.firstFrameAt = performance.now(); });
        }
        keep(frame);
      } else if (frame === -2) {
        end();
        return false;
      }
    }
    return true;
  }

  document.addEventListener('visibilitychange', () => {
    if (state !== 'playing') return;
    if (pending) cancelAnimationFrame(pending);
    if (timer) clearTimeout(timer);
    pending = timer = 0;
    schedule();
  });

  // ---- sound ----------------------------------------------------------

  // A script processor runs on the page's thread and keeps running in a
  // hidden tab; no worker, no shared memory, so any static host serves it.
  // Opened with the prompt, since opening an audio output can take a few
  // tenths of a second; the browser holds it suspended until the gesture
  // resumes it, and until the start it hands out silence.
  function openSound() {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) {
      console.warn('no Web Audio here: the disk plays without sound');
      return;
    }
    try {
      audio = new Context({ sampleRate: sampleRate });
    } catch (error) {
      audio = new Context();  // a browser that cannot choose the rate
    }
    if (audio.sampleRate !== sampleRate)
      console.warn('sound at ' + audio.sampleRate + ' Hz, not ' + sampleRate + ': it plays at the wrong speed');
    const node = audio.createScriptProcessor(4096, 0, 2);
    node.onaudioprocess = (event) => measured(() => {
      const out = event.outputBuffer;
      const frames = out.length;
      if (state !== 'playing') {
        out.getChannelData(0).fill(0);
        out.getChannelData(1).fill(0);
        return;
      }
      const at = program._page_sound(frames) >> 1;
      const pcm = program.HEAP16.subarray(at, at + frames * 2);
      const left = out.getChannelData(0);
      const right = out.getChannelData(1);
      for (let i = 0; i < frames; ++i) {
        left[i] = pcm[2 * i] / 32768;
        right[i] = pcm[2 * i + 1] / 32768;
      }
      if (test) {
        test.callbacks += 1;
        if (test.soundFrom < 0) test.soundFrom = event.playbackTime;
        // Called after the buffer was due: the listener heard a gap.
        if (test.callbacks > 2 && event.playbackTime < audio.currentTime) test.late += 1;
        if (test.pcmFrames < test.pcmLimit) {
          test.pcm.push(new Int16Array(pcm));
          test.pcmFrames += frames;
        }
      }
    });
    node.connect(audio.destination);
  }

  // ---- start and end --------------------------------------------------

  function start() {
    if (state !== 'ready') return;
    state = 'playing';
    if (test) test.clickAt = performance.now();
    startedAt = performance.now();
    canvas.focus();
    tick();
    // Inside the gesture, which the browser wants before it lets sound out.
    if (audio) audio.resume();
  }

  function end() {
    state = 'ended';
    show();  // the program's offer to play again
    if (test) test.ended = true;
    if (audio) audio.close();
    audio = null;
  }

  function gesture(event) {
    if (state === 'ready') {
      event.preventDefault();
      start();
      return true;
    }
    if (state === 'ended') {
      location.reload();
      return true;
    }
    return false;
  }

  // ---- input ----------------------------------------------------------

  window.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (state === 'ready' || state === 'ended') {
      startKey = event.code;
      gesture(event);
      return;
    }
    const key = sdlKeys[event.key];
    if (state !== 'playing' || key === undefined) return;
    event.preventDefault();
    if (!event.repeat) program._page_key(key, 1);
  });

  window.addEventListener('keyup', (event) => {
    if (event.code === startKey) {
      startKey = null;
      return;
    }
    const key = sdlKeys[event.key];
    if (state !== 'playing' || key === undefined) return;
    event.preventDefault();
    program._page_key(key, 0);  // keys act on release, as on the desktop
  });

  // Window pixels to canvas pixels at whatever size the canvas is shown.
  function canvasPoint(event) {
    const box = canvas.getBoundingClientRect();
    return [Math.floor((event.clientX - box.left) * width / box.width),
            Math.floor((event.clientY - box.top) * height / box.height)];
  }

  document.addEventListener('pointerdown', (event) => {
    if (gesture(event) || state !== 'playing' || event.button !== 0) return;
    if (event.target === canvas) canvas.setPointerCapture(event.pointerId);
    const [x, y] = canvasPoint(event);
    program._page_pointer(x, y, 1, 1);
  });
  document.addEventListener('pointermove', (event) => {
    if (state !== 'playing') return;
    const [x, y] = canvasPoint(event);
    program._page_pointer(x, y, 0, event.buttons & 1);
  });
  document.addEventListener('pointerup', (event) => {
    if (state !== 'playing' || event.button !== 0) return;
    const [x, y] = canvasPoint(event);
    program._page_pointer(x, y, 2, 0);
  });
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());

  // ---- loading --------------------------------------------------------

  async function fetchBytes(name) {
    const response = await fetch(name.split('/').map(encodeURIComponent).join('/'));
    if (!response.ok) throw new Error('cannot load ' + name + ': ' + response.status);
    return new Uint8Array(await response.arrayBuffer());
  }

  async function load() {
    const module = await Vellumbra({
      print: (line) => console.log(line),
      printErr: (line) => console.warn(line),
    });
    const disk = await (await fetch('disk.json')).json();
    const files = ['data'].concat(disk.music.map((name) => 'music/' + name));
    const contents = await Promise.all(files.map(fetchBytes));
    module.FS.mkdir('/disk');
    module.FS.mkdir('/disk/music');
    files.forEach((name, i) => module.FS.writeFile('/disk/' + name, contents[i]));
    program = module;
    const keys = lockstep ? params.get('keys') || '' : '';
    if (!program.ccall('page_start', 'number', ['number', 'string'], [lockstep ? 0 : 1, keys]))
      throw new Error('the disk did not start');
    show();  // the prompt
    if (!lockstep) openSound();
    state = 'ready';
    if (test) test.ready = true;
  }

  load().catch((error) => {
    console.error(String(error));
    if (test) test.errors.push(String(error));
  });
})();
