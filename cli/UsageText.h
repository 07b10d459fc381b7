#pragma once
// What `kven-read --help` prints, and a usage error after its message.

namespace kven::cli {

inline constexpr char kUsage[] =
    "Usage: kven-read [--dump | --wav FILE | --out FILE [--split] [--quality KBITS]] [--voice N]\n"
    "                 [--rate R] [--from OFFSET] DOCUMENT\n"
    "\n"
    "Loads DOCUMENT as the window does when it is named on the command line: a .txt or .TXT\n"
    "file as Shift_JIS (or UTF-8) text, anything else as an HTML page; the cursor starts at\n"
    "the first heading or where reading last stopped (bookmark file KVEN.txt). Options, talk\n"
    "symbols and skip list come from KVEN.ini, and with [Words]=-1 there the reading\n"
    "dictionary from KVEN.dic. The files are read from $KVEN_HOME when it is set, else from\n"
    "the folder of this program; none is ever written.\n"
    "\n"
    "Without --dump, --wav or --out the document is read aloud through the desktop's sound server\n"
    "(PulseAudio or PipeWire). Ctrl+C stops at once.\n"
    "\n"
    "  --dump         say nothing; print one line per chunk handed to the speech engine:\n"
    "                 its start offset in bytes of the Shift_JIS text, a TAB, and the spoken\n"
    "                 text in UTF-8 (CR and LF written as \\r and \\n)\n"
    "  --wav FILE     say nothing; write every utterance into the WAV file FILE (48 kHz,\n"
    "                 mono, 16-bit), 200 ms of silence before each. The file appears only\n"
    "                 when it is complete, and only a regular file is replaced; on a terminal\n"
    "                 a progress line goes to standard error\n"
    "  --out FILE     say nothing; write the speech as --wav does, in the format that FILE's\n"
    "                 extension names: .wav, .flac, .ogg (Vorbis), .opus or .mp3, with title\n"
    "                 and artist tags (not in .wav)\n"
    "  --split        with --out: one file per chapter, cut at the headings, into the folder\n"
    "                 FILE without its extension: \"01 title.opus\", ... and a playlist .m3u8\n"
    "  --quality KBITS  with --out: the bit rate of .opus (6-256, default 28), .mp3 (32-320,\n"
    "                 default 64) or .ogg (45-240, roughly, default 48)\n"
    "  --jobs N       synthesize with N processes at once for --wav and --out (default: one per\n"
    "                 processor)\n"
    "  --voice N      use voice N (0 is the first) instead of the [Voice] setting; an index\n"
    "                 past the end names the voices there are\n"
    "  --rate R       speak at rate R, -10 (slowest) to 10 (fastest), instead of [Speed]\n"
    "  --from OFFSET  start reading at byte OFFSET instead of the heading or bookmark\n"
    "  --help         show this text\n"
    "\n"
    "Voices are the .htsvoice files in the voices folder beside this program, in\n"
    "/usr/share/hts-voice and in $KVEN_VOICES.\n"
    "\n"
    "Exit status: 0 when done, 1 when the document cannot be opened or speech fails, 2 for a\n"
    "usage error, 130 when stopped by Ctrl+C.\n";

} // namespace kven::cli
