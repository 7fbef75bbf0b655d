// Types of the NPKLOD32 web runtime: the player element that replaces each movie embed, the
// page functions it calls, and what the module entry exports.

/** The element that replaces an `<embed>` or `<object>` of type application/kelvora-movie. */
export interface KlpPlayerElement extends HTMLElement {
  /** Plays from `frame`; a negative frame plays on from where the movie stands. */
  Play(frame: number): boolean;
  /** Pauses. */
  Pause(): boolean;
  /** Stops on the first frame. */
  Stop(): boolean;
  /** Goes to the named marker; error 6 when there is none. */
  EnableMarker(marker: string): boolean;
  /** Goes to the frame where the named hot spot first appears; error 5 when there is none. */
  EnableAnchor(anchor: string): boolean;
}

/** The codes `NAME_OnError` is called with. */
export declare const KlpError: {
  readonly ProjectUnreadable: 1;
  readonly MovieNotOpened: 2;
  readonly MovieNotDelivered: 3;
  readonly DownloadBrokenOff: 4;
  readonly NoSuchAnchor: 5;
  readonly NoSuchMarker: 6;
  readonly NoMovieOpen: 7;
};
export type KlpError = (typeof KlpError)[keyof typeof KlpError];

/**
 * The page functions the player calls, named after the embed's `name` (`m1` calls
 * `m1_OnMarker`), or without a prefix for an embed without one. A page defines those it wants:
 * `declare global { interface Window extends KlpPageFunctions<'m1'> {} }`.
 */
export type KlpPageFunctions<Name extends string> = {
  [K in `${Name}_OnMarker`]?: (marker: string) => void;
} & {
  [K in `${Name}_OnKLEvent`]?: (event: string) => void;
} & {
  [K in `${Name}_OnActivateAnchor`]?: (anchor: string) => void;
} & {
  [K in `${Name}_OnError`]?: (code: KlpError) => void;
} & {
  [K in `${Name}_OnSysOut`]?: (line: string) => void;
};

export interface KlpUsage {
  /** Live players. */
  instances: number;
  /** Bytes of the module's heap in use. */
  heap: number;
}

/** Resolves when the player module has loaded; rejects when it cannot be. */
export declare const ready: Promise<void>;
export declare function usage(): KlpUsage;

declare global {
  interface HTMLElementTagNameMap {
    'klp-player': KlpPlayerElement;
  }
  interface Window {
    /** Set before the runtime loads to take klp.wasm from elsewhere than beside klp.js. */
    klpWasmURL?: string;
    klpRuntime?: { ready: Promise<void>; usage(): KlpUsage };
  }
}
