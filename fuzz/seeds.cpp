#include "seeds.h"

#include <filesystem>

#include "fonts/gunzip.h"
#include "support/cpi_builder.h"
#include "support/psf_builder.h"
#include "support/test_paths.h"
#include "support/worst_cases.h"

namespace varnel::fuzz {
namespace {

using test::Bytes;

// Appends parameter bytes: a run's settings, read from the end.
Bytes withParameters(Bytes payload, const Bytes& parameters) {
  payload.insert(payload.end(), parameters.rbegin(), parameters.rend());
  return payload;
}

std::vector<Bytes> romVariants() {
  std::vector<Bytes> roms;
  for (int32_t blocks : {0x20, 0x40, 0x60, 0x80}) {
    test::RomSpec spec;
    spec.sizeBlocks = blocks;
    roms.push_back(test::buildRom(spec).bytes);
  }
  test::RomSpec variant;
  variant.hasTvTable = false;
  variant.loopForm = test::LoopForm::kDirect;
  variant.headerByte = 3;
  roms.push_back(test::buildRom(variant).bytes);
  for (test::WorstCase kind : {test::WorstCase::kType1CallSites, test::WorstCase::kType2CallSites,
                               test::WorstCase::kFontPatterns}) {
    roms.push_back(test::worstCaseImage(kind));
  }
  return roms;
}

std::vector<Bytes> loadSeeds() {
  std::vector<Bytes> seeds;
  for (const Bytes& rom : romVariants()) {
    // edit first, clocks 300/290 MHz, DDR CAS2, PAL, CRT on, TV off, vendor 0x10DE
    seeds.push_back(
        withParameters(rom, {1,    0x01, 0x2C, 0x01, 0x22, 1, 2, 0x43, 0x96, 0,    0,
                             0x43, 0x91, 0,    0,    2,    1, 0, 3,    0x10, 0xDE, 0xFF}));
  }
  // A later family's image, saved for its fonts only: no edit first.
  seeds.push_back(withParameters(test::buildRom(test::laterFamilySpec()).bytes, {0}));
  return seeds;
}

std::vector<Bytes> cpiSeeds() {
  std::vector<Bytes> seeds;
  test::CpiSpec spec;
  spec.entries = {{437, {{8, 16}, {8, 14}, {8, 8}}}, {850, {{8, 16}, {8, 14}, {8, 8}}}};
  seeds.push_back(withParameters(test::buildCpi(spec).bytes, {1}));
  spec.relativeOffsets = true;
  seeds.push_back(withParameters(test::buildCpi(spec).bytes, {0, 8}));
  spec.entries = {{866, {{8, 16}}}, {437, {{8, 16}}, "LCD     "}};
  seeds.push_back(withParameters(test::buildCpi(spec).bytes, {1}));
  return seeds;
}

std::vector<Bytes> vendorSeeds() {
  const std::string list =
      "1002 ATI Technologies Inc.\n10de\tNVIDIA Corporation\r\n  1F Foo\n12G4 Bar  \n1002\n"
      "XYZW Nothing\n10021 Long\n" +
      std::string(1100, 'N') + "\n";
  return {Bytes(list.begin(), list.end())};
}

std::vector<Bytes> traceSeeds() {
  const test::BuiltRom rom = test::buildRom();
  const auto& l = rom.layout;
  auto word = [](int32_t value) {
    return Bytes{static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  };
  Bytes parameters = word(l.type1Scripts[0]);
  const Bytes type2 = word(l.type2Scripts[0]);
  parameters.insert(parameters.end(), type2.begin(), type2.end());
  parameters.push_back(1);
  const Bytes header = word(l.headerOffset);
  parameters.insert(parameters.end(), header.begin(), header.end());
  return {withParameters(rom.bytes, parameters)};
}

// PSF1 and PSF2 fonts of both heights, with and without a Unicode table,
// compressed whole and compressed but cut short; the last byte picks 8x16.
std::vector<Bytes> psfSeeds() {
  test::PsfSpec psf2;
  test::PsfSpec psf1;
  psf1.version = 1;
  psf1.height = 8;
  psf1.psf1Mode = 0x03;  // 512 glyphs and a Unicode table
  psf1.trailingBytes = 64;
  const Bytes compressed = gzip(test::buildPsf(psf2));
  return {withParameters(test::buildPsf(psf2), {1}), withParameters(test::buildPsf(psf1), {0}),
          withParameters(compressed, {1}), withParameters(gzip(test::buildPsf(psf1)), {0}),
          withParameters(Bytes(compressed.begin(), compressed.end() - 20), {1})};
}

std::vector<Bytes> helpSeeds() {
  const std::string manual = test::binaryDir() + "/Varnel.chm";
  if (!std::filesystem::is_regular_file(manual)) return {};
  return {test::readFile(manual)};
}

}  // namespace

std::vector<Bytes> makeSeeds(const std::string& target) {
  if (target == "load") return loadSeeds();
  if (target == "cpi") return cpiSeeds();
  if (target == "vendor_list") return vendorSeeds();
  if (target == "trace") return traceSeeds();
  if (target == "psf") return psfSeeds();
  if (target == "help") return helpSeeds();
  return {};
}

}  // namespace varnel::fuzz
