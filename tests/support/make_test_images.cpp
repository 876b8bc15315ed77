// Writes a varied set of images and font files into a folder, the same on
// every run: random valid images of every size and layout the builder makes,
// the worst cases of the load, images with bad checksums, an invalid and a
// cut-off image, raw fonts of both sizes (one that is no font), a
// code-page file and PSF fonts (one compressed, one of another size). The command line is compared
// on them across systems.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "fonts/gunzip.h"
#include "support/cpi_builder.h"
#include "support/psf_builder.h"
#include "support/random_rom.h"
#include "support/rom_builder.h"
#include "support/test_paths.h"
#include "support/worst_cases.h"

namespace varnel::test {
namespace {

void writeImages(const std::string& folder, int count) {
  auto name = [&](const std::string& stem) { return folder + "/" + stem; };
  std::mt19937 random(20261207);
  for (int i = 0; i < count; ++i) {
    BuiltRom rom = buildRom(randomRomSpec(random));
    const std::string number = std::to_string(100 + i).substr(1);
    writeFile(name("random-" + number + ".rom"), rom.bytes);
    // Every third one also with a byte changed after the checksums were made.
    if (i % 3 == 0) {
      rom.bytes[static_cast<size_t>(rom.layout.spareByte)] ^= 0x5A;
      writeFile(name("badsum-" + number + ".rom"), rom.bytes);
    }
  }
  writeFile(name("worst-type1.rom"), worstCaseImage(WorstCase::kType1CallSites));
  writeFile(name("worst-type2.rom"), worstCaseImage(WorstCase::kType2CallSites));
  writeFile(name("worst-fonts.rom"), worstCaseImage(WorstCase::kFontPatterns));
  const Bytes whole = buildRom().bytes;
  writeFile(name("cut.rom"), Bytes(whole.begin(), whole.begin() + 20000));
  Bytes invalid = whole;
  invalid[0] = 0x00;
  writeFile(name("invalid.rom"), invalid);

  writeFile(name("font-8x8.fnt"), cpiGlyphData(850, {8, 8}));
  writeFile(name("font-8x16.fnt"), cpiGlyphData(850, {8, 16}));
  Bytes noise(4096);
  for (uint8_t& byte : noise)
    byte = static_cast<uint8_t>(random());
  writeFile(name("noise-8x16.fnt"), noise);
  CpiSpec cpi;
  cpi.entries = {{437, {{8, 16}, {8, 14}, {8, 8}}}, {852, {{8, 8}, {8, 16}}}};
  writeFile(name("fonts.cpi"), buildCpi(cpi).bytes);

  PsfSpec psf;
  writeFile(name("font-8x16.psf"), buildPsf(psf));
  psf.width = 9;
  writeFile(name("font-9x16.psf"), buildPsf(psf));
  psf.version = 1;
  psf.height = 8;
  writeFile(name("font-8x8.psf.gz"), gzip(buildPsf(psf)));
}

}  // namespace
}  // namespace varnel::test

int main(int argc, char** argv) {
  const int count = argc == 3 ? std::atoi(argv[2]) : 0;
  if (count <= 0 || count > 99) {
    std::fprintf(stderr, "usage: %s FOLDER COUNT (1 to 99 random images)\n", argv[0]);
    return 2;
  }
  try {
    varnel::test::writeImages(argv[1], count);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
