// Registry values, remembered window positions and mandatory fields.
#include "TestSupport.h"
#include "core/FormSettings.h"
#include "core/Functions.h"
#include "core/Strings.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

TEST(Registry, TypedValuesRoundTripAndFailuresGiveDefaults)
{
    TMemoryRegistry store;
    TRegistry reg(store);
    EXPECT_TRUE(reg.RegWriteInteger("Options", "Count", -42));
    EXPECT_TRUE(reg.RegWriteBool("Options", "On", true));
    EXPECT_TRUE(reg.RegWriteString("Options\\Statistiche", "Name", "Perché"));
    EXPECT_TRUE(reg.RegWriteFloat("Options", "Rate", 0.1));
    EXPECT_EQ(reg.RegReadInteger("Options", "Count", 0), -42);
    EXPECT_TRUE(reg.RegReadBool("Options", "On", false));
    EXPECT_EQ(reg.RegReadString("Options\\Statistiche", "Name", ""), "Perché");
    EXPECT_EQ(reg.RegReadFloat("Options", "Rate", 0), 0.1);
    EXPECT_EQ(reg.RegReadInteger("Options", "Missing", 7), 7);
    EXPECT_EQ(reg.RegReadInteger("Options\\Statistiche", "Name", 9), 9); // not a number
    EXPECT_EQ(reg.RegReadFloat("Options", "Count", 2.5), 2.5);
    store.FailWrites = true;
    EXPECT_FALSE(reg.RegWriteInteger("Options", "Count", 1));
    EXPECT_EQ(reg.RegReadInteger("Options", "Count", 0), -42);
    EXPECT_TRUE(reg.RegDeleteSection("Options"));
    EXPECT_EQ(reg.RegReadString("Options\\Statistiche", "Name", "none"), "none");
}

namespace {
class TFakeForm : public IRememberedForm
{
public:
    std::string FormName() const override { return "TfmStatistiche"; }
    TFormPosition Position() const override { return Pos; }
    TFormBorderStyle BorderStyle() const override { return Border; }
    int Top() const override { return T; }
    int Left() const override { return L; }
    int Width() const override { return W; }
    int Height() const override { return H; }
    void SetBounds(int left, int top, int w, int h) override
    {
        L = left;
        T = top;
        W = w;
        H = h;
    }
    int ScreenWidth() const override { return SW; }
    int ScreenHeight() const override { return SH; }
    TFormPosition Pos = TFormPosition::poDesigned;
    TFormBorderStyle Border = TFormBorderStyle::bsSizeable;
    int T = 0, L = 0, W = 400, H = 300, SW = 800, SH = 600;
};
} // namespace

TEST(FormSettings, EachScreenResolutionKeepsItsOwnGeometry)
{
    TMemoryRegistry store;
    TRegistry reg(store);
    TFakeForm form;
    {
        TFormSettings s(reg, form);
        EXPECT_EQ(form.T, 20); // defaults
        EXPECT_EQ(form.L, 20);
        EXPECT_EQ(form.W, 400);
        form.SetBounds(100, 50, 500, 350);
    }
    EXPECT_EQ(reg.RegReadInteger("Settings\\TfmStatistiche\\800x600", "Left", 0), 100);
    EXPECT_EQ(reg.RegReadInteger("Settings\\TfmStatistiche\\800x600", "Check", 0), 400);
    form.SW = 1024;
    form.SH = 768;
    {
        TFormSettings s(reg, form);
        EXPECT_EQ(form.L, 20);
        form.SetBounds(300, 200, 600, 400);
    }
    form.SW = 800;
    form.SH = 600;
    {
        TFormSettings s(reg, form);
        EXPECT_EQ(form.L, 100);
        EXPECT_EQ(form.T, 50);
        EXPECT_EQ(form.W, 500);
        EXPECT_EQ(form.H, 350);
    }
    EXPECT_EQ(reg.RegReadInteger("Settings\\TfmStatistiche\\1024x768", "Left", 0), 300);
}

TEST(FormSettings, FixedSizeFormsKeepTheirSizeAndOtherPositionsAreRefused)
{
    TMemoryRegistry store;
    TRegistry reg(store);
    store.Write("Settings\\TfmStatistiche\\800x600", "Width", "999");
    TFakeForm form;
    form.Border = TFormBorderStyle::bsSingle;
    {
        TFormSettings s(reg, form);
        EXPECT_EQ(form.W, 400);
    }
    EXPECT_FALSE(store.Read("Settings\\TfmStatistiche\\800x600", "Top")); // nothing changed, nothing written
    form.Pos = TFormPosition::poScreenCenter;
    try {
        TFormSettings s(reg, form);
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "Fallita la RememberSettings: La proprietà Position deve essere poDesigned!");
    }
}

namespace {
struct TField : IMandatoryField
{
    explicit TField(std::string t) : Value(std::move(t)) {}
    std::string Text() const override { return Value; }
    void SetFocus() override { Focused = true; }
    std::string Value;
    bool Focused = false;
};
} // namespace

TEST(CommonServices, MandatoryFieldsListTheEmptyOnesAndFocusTheFirst)
{
    TField name("  "), number("0123"), gateway("");
    std::string message;
    EXPECT_FALSE(CheckMandatoryFields({{"Nome", &name}, {"Numero", &number}, {"Gateway", &gateway}}, message));
    EXPECT_EQ(message, "I seguenti campi sono obbligatori: \r- Nome\r- Gateway");
    EXPECT_TRUE(name.Focused);
    EXPECT_FALSE(gateway.Focused);
    name.Value = "x";
    gateway.Value = "y";
    EXPECT_TRUE(CheckMandatoryFields({{"Nome", &name}, {"Gateway", &gateway}}, message));
}

TEST(CommonServices, StringHelpers)
{
    EXPECT_EQ(ReplaceAll("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(CutFrom("nome@host", "@"), "nome");
    EXPECT_EQ(CutUpTo("nome@host", "@"), "host");
    EXPECT_EQ(CutFrom("nome", "@"), "nome");
    EXPECT_EQ(RemoveLineBreaks("a\r\nb"), "a b");
    EXPECT_EQ(FitToLength("abc", 5, '.'), "abc..");
    EXPECT_EQ(FitToLength("abcdef", 3, '.'), "abc");
    EXPECT_TRUE(IsNumeric("0123\r"));
    EXPECT_FALSE(IsNumeric("  "));
    EXPECT_FALSE(IsNumeric("12a"));
    EXPECT_EQ(Utf8Left("Perché no", 6), "Perché");
    EXPECT_EQ(Utf8Length("Perché"), 6u);
}

TEST(CommonServices, ErrorCodeTextsBySource)
{
    TErrorTextSources sources;
    sources.DialUp = [](int code) { return code == 676 ? std::string("La linea è occupata.") : std::string(); };
    sources.Http = [](int code) { return "http " + std::to_string(code); };
    EXPECT_EQ(ErrorCodeText(676, sources), "La linea è occupata.");
    EXPECT_EQ(ErrorCodeText(10004, sources), "The operation is canceled.");
    EXPECT_EQ(ErrorCodeText(12002, sources), "http 12002");
    EXPECT_EQ(ErrorCodeText(700, sources), "Errore 700");
    EXPECT_FALSE(ErrorCodeText(2).empty());
}
