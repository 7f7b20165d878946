// The module's dynamic symbol table holds exactly one definition: the message handler.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/module_host.h"

namespace orvella::test {
namespace {

// Returns the names of the symbols the ELF file at `path` defines in its .dynsym.
std::vector<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> image((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  if (image.size() < sizeof(Elf64_Ehdr)) return {};
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) {
    return {};
  }
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), image.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
  std::vector<std::string> names;
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr& strings = sections[section.sh_link];
    for (std::size_t off = 0; off + sizeof(Elf64_Sym) <= section.sh_size;
         off += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, image.data() + section.sh_offset + off, sizeof symbol);
      const unsigned bind = ELF64_ST_BIND(symbol.st_info);
      if (symbol.st_shndx == SHN_UNDEF || bind == STB_LOCAL) continue;
      names.emplace_back(image.data() + strings.sh_offset + symbol.st_name);
    }
  }
  return names;
}

TEST(ModuleExports, OnlyTheMessageHandlerIsExported) {
  const auto names = DefinedDynamicSymbols(ModulePath());
  ASSERT_EQ(names.size(), 1u) << ::testing::PrintToString(names);
  EXPECT_EQ(names[0], "rvtPlugInMsgHandler");
}

TEST(ModuleExports, ModuleIsNamedForTheHost) {
  const std::string path = ModulePath();
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "Orvella.rpl");
}

TEST(ModuleExports, UnloadAndReloadStartsFromAFreshState) {
  // Unique-binding symbols would keep the module mapped and its settings alive.
  LoadedModule first;
  first.Send(40, 1, 1);
  first.Unload();
  LoadedModule second;
  EXPECT_EQ(second.Send(40), 1);
}

}  // namespace
}  // namespace orvella::test
