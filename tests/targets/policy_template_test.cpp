// The kit's Group Policy template (kit/policy), read with the system's XML parser: it is
// well-formed, each of its policies sets one of the state switches where the monitor
// reads them, and every text it refers to is in each language's file.
#include <gtest/gtest.h>

#include <windows.h>
#include <msxml2.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "targets.h"
#include "testsupport.h"

namespace {

std::string PolicyPath(const char* file)
{
    std::string path = zt::TestBinDir() + ZT_POLICY_FROM_TEST_BIN + "\\" + file;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Narrow(BSTR text)
{
    char out[1024] = "";
    if (text)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof(out), nullptr, nullptr);
    return out;
}

// An element's attributes, by name.
struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string Attribute(const char* wanted) const
    {
        for (const auto& a : attributes) {
            if (a.first == wanted)
                return a.second;
        }
        return "";
    }
};

// Every element of a document in document order, with its attributes; false (and the
// parser's reason) when the file does not load as well-formed XML.
bool ReadElements(const std::string& path, std::vector<Element>* elements, std::string* error)
{
    IXMLDOMDocument* doc = nullptr;
    CLSID parser;
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &parser)) ||
        FAILED(CoCreateInstance(parser, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                reinterpret_cast<void**>(&doc)))) {
        *error = "no XML parser";
        return false;
    }
    doc->put_async(VARIANT_FALSE);
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocString(wide);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    doc->load(source, &loaded);
    VariantClear(&source);
    bool ok = loaded == VARIANT_TRUE;
    if (!ok) {
        IXMLDOMParseError* parse = nullptr;
        BSTR reason = nullptr;
        if (SUCCEEDED(doc->get_parseError(&parse)) && parse) {
            parse->get_reason(&reason);
            parse->Release();
        }
        *error = path + ": " + Narrow(reason);
        SysFreeString(reason);
    }
    IXMLDOMNodeList* all = nullptr;
    BSTR star = SysAllocString(L"*");
    long count = 0;
    if (ok && SUCCEEDED(doc->getElementsByTagName(star, &all)) && all)
        all->get_length(&count);
    for (long i = 0; i < count; ++i) {
        IXMLDOMNode* node = nullptr;
        IXMLDOMNamedNodeMap* map = nullptr;
        Element element;
        BSTR name = nullptr;
        if (FAILED(all->get_item(i, &node)) || !node)
            continue;
        node->get_nodeName(&name);
        element.name = Narrow(name);
        SysFreeString(name);
        long attributes = 0;
        if (SUCCEEDED(node->get_attributes(&map)) && map)
            map->get_length(&attributes);
        for (long a = 0; a < attributes; ++a) {
            IXMLDOMNode* attribute = nullptr;
            BSTR text = nullptr;
            if (FAILED(map->get_item(a, &attribute)) || !attribute)
                continue;
            attribute->get_nodeName(&name);
            attribute->get_text(&text);
            element.attributes.emplace_back(Narrow(name), Narrow(text));
            SysFreeString(name);
            SysFreeString(text);
            attribute->Release();
        }
        if (map)
            map->Release();
        node->Release();
        elements->push_back(element);
    }
    SysFreeString(star);
    if (all)
        all->Release();
    doc->Release();
    return ok;
}

// The names that "$(string.NAME)" refers to anywhere in the elements' attributes.
std::set<std::string> StringReferences(const std::vector<Element>& elements)
{
    std::set<std::string> names;
    const std::string mark = "$(string.";
    for (const Element& e : elements) {
        for (const auto& a : e.attributes) {
            if (a.second.compare(0, mark.size(), mark) == 0 && a.second.back() == ')')
                names.insert(a.second.substr(mark.size(), a.second.size() - mark.size() - 1));
        }
    }
    return names;
}

class PolicyTemplate : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(PolicyTemplate, EachSwitchOncePerPolicyWithTheMonitorsKeyAndValue)
{
    std::vector<Element> admx;
    std::string error;
    ASSERT_TRUE(ReadElements(PolicyPath("zettray.admx"), &admx, &error)) << error;
    std::set<std::string> categories;
    for (const Element& e : admx) {
        if (e.name == "category")
            categories.insert(e.Attribute("name"));
    }
    // The value that "enabled" and "disabled" write follows each policy's element.
    std::multiset<std::string> switches;
    std::string value, within;
    for (const Element& e : admx) {
        if (e.name == "policy") {
            SCOPED_TRACE(e.Attribute("name"));
            value = e.Attribute("valueName");
            switches.insert(value);
            EXPECT_EQ("Machine", e.Attribute("class"));
            EXPECT_EQ(STATE_POLICY_KEY, e.Attribute("key"));
        } else if (e.name == "parentCategory") {
            EXPECT_EQ(1u, categories.count(e.Attribute("ref"))) << value;
        } else if (e.name == "enabledValue" || e.name == "disabledValue") {
            within = e.name;
        } else if (e.name == "decimal") {
            // A REG_DWORD: the monitor takes 0 as off and anything else as on.
            EXPECT_EQ(within == "enabledValue" ? "1" : "0", e.Attribute("value")) << value << " " << within;
        }
    }
    EXPECT_EQ((std::multiset<std::string>{TARGET_STATE_SHOW, TARGET_STATE_NOTIFY}), switches);
}

TEST_F(PolicyTemplate, EveryReferredTextIsInEachLanguage)
{
    std::vector<Element> admx;
    std::string error;
    ASSERT_TRUE(ReadElements(PolicyPath("zettray.admx"), &admx, &error)) << error;
    const std::set<std::string> referred = StringReferences(admx);
    ASSERT_FALSE(referred.empty());
    for (const char* language : {"en-US", "ja-JP"}) {
        SCOPED_TRACE(language);
        std::vector<Element> adml;
        ASSERT_TRUE(ReadElements(PolicyPath((std::string(language) + "\\zettray.adml").c_str()), &adml, &error))
            << error;
        std::set<std::string> texts;
        for (const Element& e : adml) {
            if (e.name == "string")
                texts.insert(e.Attribute("id"));
        }
        for (const std::string& name : referred)
            EXPECT_EQ(1u, texts.count(name)) << name;
    }
}

} // namespace
