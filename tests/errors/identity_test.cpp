// The identities the registration, the error records and the class table are built from
// against the interface definition the type library is compiled from: a GUID typed twice
// must never drift.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "errors/identifiers.h"
#include "platform/guid_text.h"

namespace korvo::testing {
namespace {

std::string ReadDefinition()
{
    std::ifstream in(KORVO_IDL_FILE);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The uuid(...) of the attribute block right before `declaration` ("library Korvo", ...).
std::string UuidBefore(const std::string& definition, const std::string& declaration)
{
    const std::regex block(R"(uuid\(([0-9A-Fa-f-]{36})\)[^\]]*\]\s*)" + declaration + R"(\b)");
    std::smatch match;
    if (!std::regex_search(definition, match, block)) {
        return "<no uuid before " + declaration + ">";
    }
    std::string uuid = match[1];
    std::transform(uuid.begin(), uuid.end(), uuid.begin(), [](unsigned char c) { return std::toupper(c); });
    return "{" + uuid + "}";
}

std::string Narrow(const GUID& guid)
{
    const auto text = GuidText(guid);
    return std::string(text.begin(), text.end());
}

TEST(Identity, ConstantsMatchTheInterfaceDefinition)
{
    const std::string definition = ReadDefinition();
    ASSERT_FALSE(definition.empty()) << "cannot read " << KORVO_IDL_FILE;
    EXPECT_EQ(Narrow(kLibidKorvo), UuidBefore(definition, "library Korvo"));
    EXPECT_EQ(Narrow(kClsidDictionary), UuidBefore(definition, "coclass Dictionary"));
    EXPECT_EQ(Narrow(kIidIDictionary), UuidBefore(definition, "interface IDictionary"));
}

TEST(Identity, GuidTextIsTheRegistryForm)
{
    const GUID sample = {0x0A0B0C0D, 0x0E0F, 0x00AB, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
    EXPECT_EQ(Narrow(sample), "{0A0B0C0D-0E0F-00AB-0123-456789ABCDEF}");
}

} // namespace
} // namespace korvo::testing
