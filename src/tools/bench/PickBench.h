#pragma once

namespace varnholt::bench {

// Picks, in the real app under the offscreen platform and a temporary home,
// a 1 GB file and a folder of 20,000 small files, and measures how long the
// GUI event loop went without turning from the pick until the package was
// served. Prints one line per case:
//   pick-stall: <case> longest <N> ms, served after <S> s
// and then the companion's copy of the folder timed against cp -a:
//   pick-copy: 20000-files host.mjs <S> s, cp -a <S> s
// Creates its own QApplication. Returns the process exit code.
int runPick(int& argc, char** argv);

}  // namespace varnholt::bench
