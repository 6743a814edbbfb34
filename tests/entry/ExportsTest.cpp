// The module shows exactly its exports: the dynamic symbol table of the
// built libziv.so is read straight from the ELF file.
#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModuleLoader.h"

namespace {

std::vector<char> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

template <typename T> T readAt(const std::vector<char>& image, uint64_t offset)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        throw std::runtime_error("truncated ELF file");
    T value;
    std::memcpy(&value, image.data() + offset, sizeof(T));
    return value;
}

struct DynamicSymbol {
    std::string name;
    unsigned type;
    unsigned binding;
    unsigned visibility;
};

// Defined (not undefined) symbols of the .dynsym section.
template <typename Ehdr, typename Shdr, typename Sym, unsigned char (*Type)(unsigned char),
          unsigned char (*Bind)(unsigned char)>
std::vector<DynamicSymbol> definedDynamicSymbols(const std::vector<char>& image)
{
    const auto header = readAt<Ehdr>(image, 0);
    std::vector<DynamicSymbol> symbols;
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        const auto section = readAt<Shdr>(image, header.e_shoff + uint64_t(i) * header.e_shentsize);
        if (section.sh_type != SHT_DYNSYM)
            continue;
        const auto strings = readAt<Shdr>(image, header.e_shoff + uint64_t(section.sh_link) * header.e_shentsize);
        const uint64_t count = section.sh_size / section.sh_entsize;
        for (uint64_t s = 1; s < count; ++s) {
            const auto symbol = readAt<Sym>(image, section.sh_offset + s * section.sh_entsize);
            if (symbol.st_shndx == SHN_UNDEF)
                continue;
            const uint64_t nameOffset = strings.sh_offset + symbol.st_name;
            if (nameOffset >= image.size())
                throw std::runtime_error("bad symbol name offset");
            const char* name = image.data() + nameOffset;
            const size_t length = strnlen(name, image.size() - nameOffset);
            symbols.push_back({std::string(name, length), Type(symbol.st_info), Bind(symbol.st_info),
                               static_cast<unsigned>(symbol.st_other & 0x3)});
        }
    }
    return symbols;
}

unsigned char type32(unsigned char info)
{
    return ELF32_ST_TYPE(info);
}
unsigned char bind32(unsigned char info)
{
    return ELF32_ST_BIND(info);
}
unsigned char type64(unsigned char info)
{
    return ELF64_ST_TYPE(info);
}
unsigned char bind64(unsigned char info)
{
    return ELF64_ST_BIND(info);
}

std::vector<DynamicSymbol> definedDynamicSymbols(const std::string& path)
{
    const std::vector<char> image = readFile(path);
    if (image.size() < EI_NIDENT || std::memcmp(image.data(), ELFMAG, SELFMAG) != 0)
        throw std::runtime_error(path + " is not an ELF file");
    if (image[EI_CLASS] == ELFCLASS64)
        return definedDynamicSymbols<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, type64, bind64>(image);
    return definedDynamicSymbols<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, type32, bind32>(image);
}

TEST(ModuleExports, ExactlyTheEntryPointsAreVisible)
{
    const std::vector<DynamicSymbol> symbols = definedDynamicSymbols(ZivTest::ZivModule::builtPath());
    std::set<std::string> names;
    for (const DynamicSymbol& symbol : symbols) {
        // Section and file symbols carry no name a host could bind.
        if (symbol.type == STT_SECTION || symbol.type == STT_FILE || symbol.name.empty())
            continue;
        names.insert(symbol.name);
        if (symbol.name == "createRenderer" || symbol.name == "destroyRenderer" ||
            symbol.name == "getLastErrorString" || symbol.name.rfind("ziv", 0) == 0) {
            EXPECT_EQ(symbol.type, unsigned(STT_FUNC)) << symbol.name;
            EXPECT_EQ(symbol.binding, unsigned(STB_GLOBAL)) << symbol.name;
            EXPECT_EQ(symbol.visibility, unsigned(STV_DEFAULT)) << symbol.name;
        }
    }
    // Plain C names: nothing mangled, nothing else from the module or from the
    // static libraries linked into it.
    EXPECT_EQ(names,
              (std::set<std::string>{"createRenderer", "destroyRenderer", "getLastErrorString", "zivSetSoftEdges",
                                     "zivSetDamageTracking", "zivInvalidateTarget", "zivSetDamageBackgroundColour",
                                     "zivSetDamageBackgroundSurface", "zivSetDamageBufferSlot", "zivGetDamageRects"}));
}

TEST(ModuleExports, HostBindsTheExportsAndReadsAnEmptyLastError)
{
    ZivTest::ZivModule module;
    const char* text = module.getLastErrorString();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
}

} // namespace
