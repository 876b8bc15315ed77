// Writes the editor's default vendor list from the PCI ID database:
// one line per vendor, four hex digits, a blank, the name.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Vendor lines of pci.ids start with four hex digits and two blanks; device
// lines start with a tab; the device classes ("C xx") end the vendor part.
bool isVendorLine(const std::string& line) {
  if (line.size() < 7 || line[4] != ' ' || line[5] != ' ') return false;
  for (int i = 0; i < 4; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(line[static_cast<size_t>(i)]))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_vendor_ids pci.ids Vendor.IDs\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "cannot read " << argv[1] << " (install Debian's pci.ids package)\n";
    return 1;
  }
  std::ofstream out(argv[2], std::ios::trunc);
  std::string line;
  int vendors = 0;
  while (std::getline(in, line)) {
    if (line.rfind("C ", 0) == 0) break;
    if (!isVendorLine(line)) continue;
    out << line.substr(0, 4) << ' ' << line.substr(6) << '\n';
    ++vendors;
  }
  if (!out || vendors == 0) {
    std::cerr << "no vendors written to " << argv[2] << '\n';
    return 1;
  }
  return 0;
}
