// The Kelpo control, created through the build tree's registry as the
// program creates it, with its dialog driven offscreen.
#include "kelpo/frm_ver.h"
#include "kelpo/kelpo.h"

#include "platform/com/bstr.h"
#include "platform/com/creation.h"
#include "platform/com/dispatch_call.h"
#include "platform/com/registry.h"
#include "platform/twips.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace platform::com;

namespace {

QDialog* openForm() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "Frm_Ver" && w->isVisible()) return qobject_cast<QDialog*>(w);
    return nullptr;
}

template <class T = QLabel>
T* control(QWidget* form, const char* name) {
    return form->findChild<T*>(name);
}

QString caption(QWidget* form, const char* name) {
    if (auto* label = control(form, name)) return label->text();
    return "<missing " + QString(name) + ">";
}

class KelpoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(createObject(kKelpoProgId, m_kelpo), S_OK) << "is libkelpo.so registered in " << registryPath();
    }
    void TearDown() override {
        m_kelpo.reset();
        CoFreeUnusedLibraries();
        EXPECT_FALSE(isModuleLoaded(KELPO_MODULE));
    }

    /// Calls VerShow through IDispatch; while the dialog is open, runs
    /// inspect on it and then closes it the way close says (default: a
    /// click on Cmd_OK).
    HRESULT verShow(const Variant& name, const Variant& version, const std::function<void(QDialog*)>& inspect,
                    bool* shown = nullptr) {
        bool ran = false;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ran = true;
            QDialog* form = openForm();
            EXPECT_NE(form, nullptr);
            if (form) inspect(form);
            // Whatever inspect did, leave no dialog open.
            if ((form = openForm())) {
                if (auto* ok = control<QPushButton>(form, "Cmd_OK")) ok->click();
                else form->reject();
            }
        });
        timer.start(0);
        const HRESULT hr = callMethod(m_kelpo.get(), "VerShow", {name, version});
        if (shown) *shown = ran;
        return hr;
    }

    ComPtr<IDispatch> m_kelpo;
};

}  // namespace

TEST_F(KelpoTest, VerShowIsFoundByNameWithItsDispatchId) {
    std::u16string names[] = {u"VerShow", u"vershow", u"PGNAME", u"ver"};
    DISPID id = 0;
    LPOLESTR one[] = {names[0].data()};
    ASSERT_EQ(m_kelpo->GetIDsOfNames(IID_NULL, one, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 0x60030000);
    LPOLESTR all[] = {names[1].data(), names[2].data(), names[3].data()};
    DISPID ids[3];
    ASSERT_EQ(m_kelpo->GetIDsOfNames(IID_NULL, all, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60030000);
    EXPECT_EQ(ids[1], 0);
    EXPECT_EQ(ids[2], 1);
    UINT count = 9;
    EXPECT_EQ(m_kelpo->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(KelpoTest, DialogShowsTheNameAndVersionAndClosesOnOk) {
    bool shown = false;
    const HRESULT hr = verShow(Variant("ミロフォト"), Variant("1.1"), [](QDialog* form) {
        EXPECT_TRUE(form->isModal());
        EXPECT_EQ(form->parentWidget(), nullptr);
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8("バージョン情報"));
        EXPECT_FALSE(form->windowIcon().isNull());
        EXPECT_EQ(caption(form, "Lbl_PGName"), QString::fromUtf8("ミロフォト"));
        EXPECT_EQ(caption(form, "Lbl_PGVersion"), "1.1");
        EXPECT_EQ(caption(form, "Lbl_Copyright"), QString::fromUtf8(kelpo::kCopyright));
        EXPECT_EQ(caption(form, "Lbl_HomePage"), QString::fromUtf8("ホームページ"));
        EXPECT_EQ(caption(form, "Lbl_URL"), kelpo::kHomePageUrl);
        auto* ok = control<QPushButton>(form, "Cmd_OK");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QString::fromUtf8("Ｏ　Ｋ"));
        if (const char* dir = std::getenv("MIROFOTO_SCREENSHOT_DIR"))
            form->grab().save(QString::fromUtf8(dir) + "/Frm_Ver.png");
    }, &shown);
    EXPECT_EQ(hr, S_OK);
    EXPECT_TRUE(shown);
    EXPECT_EQ(openForm(), nullptr);
    // The form is destroyed when it closes, not merely hidden.
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "Frm_Ver");
}

TEST_F(KelpoTest, DialogFontsAreTheSpecifiedOnesOrAnInstalledJapaneseFace) {
    verShow(Variant("x"), Variant("y"), [](QDialog* form) {
        const QStringList accepted = {QString::fromUtf8("ＭＳ Ｐゴシック"), "IPAPGothic"};
        for (const char* name : {"Lbl_PGName", "Lbl_PGVersion", "Lbl_Copyright", "Lbl_HomePage", "Lbl_URL"}) {
            const QFont font = control(form, name)->font();
            EXPECT_TRUE(accepted.contains(font.family())) << name << " " << font.family().toStdString();
            // The face is really there, not a silent substitute.
            EXPECT_EQ(QFontInfo(font).family(), font.family()) << name;
        }
        const QFont name = control(form, "Lbl_PGName")->font();
        EXPECT_DOUBLE_EQ(name.pointSizeF(), 14.25);
        EXPECT_TRUE(name.bold());
        EXPECT_TRUE(name.italic());
        const QFont version = control(form, "Lbl_PGVersion")->font();
        EXPECT_DOUBLE_EQ(version.pointSizeF(), 9.75);
        EXPECT_FALSE(version.bold());
        const QFont url = control(form, "Lbl_URL")->font();
        EXPECT_DOUBLE_EQ(url.pointSizeF(), 9);
        EXPECT_TRUE(url.underline());
        EXPECT_DOUBLE_EQ(control(form, "Lbl_Copyright")->font().pointSizeF(), 9);
    });
}

TEST_F(KelpoTest, DialogGeometryFollowsItsTwips) {
    verShow(Variant("x"), Variant("y"), [](QDialog* form) {
        using platform::twipsToPixels;
        EXPECT_EQ(form->size(), QSize(twipsToPixels(5535), twipsToPixels(2460)));
        EXPECT_EQ(control<QPushButton>(form, "Cmd_OK")->geometry(),
                  QRect(twipsToPixels(3855), twipsToPixels(1860), twipsToPixels(1440), twipsToPixels(420)));
        // Every control lies inside the form and no two overlap.
        QList<QWidget*> controls;
        for (const char* n : {"Lbl_PGName", "Lbl_PGVersion", "Lbl_Copyright", "Lbl_HomePage", "Lbl_URL", "Cmd_OK"})
            controls << form->findChild<QWidget*>(n);
        for (int i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(form->rect().contains(controls[i]->geometry())) << i;
            for (int k = i + 1; k < controls.size(); ++k)
                EXPECT_FALSE(controls[i]->geometry().intersects(controls[k]->geometry())) << i << " " << k;
        }
    });
}

TEST_F(KelpoTest, EmptyTextsGiveEmptyLines) {
    bool shown = false;
    EXPECT_EQ(verShow(Variant(""), Variant(""), [](QDialog* form) {
        EXPECT_EQ(caption(form, "Lbl_PGName"), "");
        EXPECT_EQ(caption(form, "Lbl_PGVersion"), "");
    }, &shown), S_OK);
    EXPECT_TRUE(shown);
}

TEST_F(KelpoTest, EachCallShowsItsOwnValues) {
    for (const char* version : {"1.1", "2.0"}) {
        verShow(Variant(std::string("Prog ") + version), Variant(version), [&](QDialog* form) {
            EXPECT_EQ(caption(form, "Lbl_PGName"), QString("Prog ") + version);
            EXPECT_EQ(caption(form, "Lbl_PGVersion"), version);
            EXPECT_EQ(caption(form, "Lbl_Copyright"), QString::fromUtf8(kelpo::kCopyright));
        });
    }
}

TEST_F(KelpoTest, ArgumentsArriveInTheirOrderThroughInvoke) {
    QTimer timer;
    QString name, version;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (QDialog* form = openForm()) {
            name = caption(form, "Lbl_PGName");
            version = caption(form, "Lbl_PGVersion");
            form->reject();
        }
    });
    timer.setSingleShot(true);
    timer.start(0);
    Variant args[2] = {Variant("0.9"), Variant("Name")};  // right to left: ver, then pgname
    DISPPARAMS params{args, nullptr, 2, 0};
    EXPECT_EQ(m_kelpo->Invoke(0x60030000, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name, "Name");
    EXPECT_EQ(version, "0.9");
}

TEST_F(KelpoTest, ClickingTheAddressOpensItAndTheDialogStaysOpen) {
    testing_support::ScriptedUi ui;
    platform::ScopedUi scoped(ui);
    verShow(Variant("x"), Variant("y"), [&](QDialog* form) {
        auto* url = control(form, "Lbl_URL");
        QTest::mouseClick(url, Qt::LeftButton, {}, QPoint(4, 4));
        ASSERT_EQ(ui.calls.size(), 1u);
        EXPECT_EQ(ui.calls[0].kind, "document");
        EXPECT_EQ(ui.calls[0].text, kelpo::kHomePageUrl);
        EXPECT_TRUE(form->isVisible());
        // Other mouse buttons and other labels open nothing; a failing
        // desktop is not reported.
        QTest::mouseClick(url, Qt::RightButton, {}, QPoint(4, 4));
        QTest::mouseClick(control(form, "Lbl_HomePage"), Qt::LeftButton);
        ui.openDocumentResult = false;
        QTest::mouseClick(url, Qt::LeftButton, {}, QPoint(4, 4));
        EXPECT_EQ(ui.calls.size(), 2u);
        EXPECT_TRUE(ui.messages().empty());
        EXPECT_TRUE(form->isVisible());
    });
}

TEST_F(KelpoTest, ClosingTheWindowEndsTheCallToo) {
    bool shown = false;
    EXPECT_EQ(verShow(Variant("x"), Variant("y"), [](QDialog* form) { form->close(); }, &shown), S_OK);
    EXPECT_TRUE(shown);
    EXPECT_EQ(openForm(), nullptr);
}

TEST_F(KelpoTest, ASecondVerShowWhileTheDialogIsOpenIsRefused) {
    ComPtr<_Kelpo> direct = m_kelpo.as<_Kelpo>();
    ASSERT_TRUE(direct);
    verShow(Variant("x"), Variant("y"), [&](QDialog*) {
        Bstr a("again"), b("1");
        EXPECT_EQ(direct->VerShow(a.get(), b.get()), kelpo::kFormAlreadyShown);
    });
}

TEST_F(KelpoTest, TheModuleStaysWhileItsDialogIsOpenEvenWhenTheHostLetsGo) {
    IDispatch* raw = m_kelpo.get();
    raw->AddRef();  // the reference the running call goes through
    bool stayed = false;
    verShow(Variant("x"), Variant("y"), [&](QDialog*) {
        m_kelpo.reset();
        raw->Release();
        CoFreeUnusedLibraries();
        stayed = isModuleLoaded(KELPO_MODULE);
    });
    EXPECT_TRUE(stayed);
}

TEST_F(KelpoTest, WrongCallsShowNoDialog) {
    Variant result;
    EXPECT_EQ(callMethod(m_kelpo.get(), "VerShow", {Variant("only one")}), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(callMethod(m_kelpo.get(), "VerShow", {Variant("a"), Variant::missing()}), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(openForm(), nullptr);
}

TEST_F(KelpoTest, ExtentStaysAt495Twips) {
    ComPtr<IControlExtent> extent = m_kelpo.as<IControlExtent>();
    ASSERT_TRUE(extent);
    SIZEL size{0, 0};
    ASSERT_EQ(extent->GetExtent(DVASPECT_CONTENT, &size), S_OK);
    EXPECT_EQ(platform::himetricToTwips(size.cx), 495);
    EXPECT_EQ(platform::himetricToTwips(size.cy), 495);
    SIZEL bigger{5000, 2000};
    EXPECT_EQ(extent->SetExtent(DVASPECT_CONTENT, &bigger), S_OK);
    SIZEL after{0, 0};
    extent->GetExtent(DVASPECT_CONTENT, &after);
    EXPECT_EQ(after.cx, size.cx);
    EXPECT_EQ(after.cy, size.cy);
    EXPECT_EQ(extent->SetExtent(DVASPECT_CONTENT, nullptr), E_POINTER);
}

TEST_F(KelpoTest, AnswersOnlyTheInterfacesItImplements) {
    ComPtr<IPersist> persist = m_kelpo.as<IPersist>();
    ASSERT_TRUE(persist);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_Kelpo);
    ComPtr<ISupportErrorInfo> errors = m_kelpo.as<ISupportErrorInfo>();
    ASSERT_TRUE(errors);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID__Kelpo), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    // IOleObject, IOleControl, IViewObject, IPersistStreamInit,
    // IOleInPlaceObject, IProvideClassInfo, IConnectionPointContainer.
    const IID absent[] = {
        {0x00000112, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, {0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        {0x0000010D, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, {0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}},
        {0x00000113, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, {0xB196B283, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}},
        {0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}}, DIID___Kelpo};
    for (const IID& iid : absent) {
        void* p = reinterpret_cast<void*>(1);
        EXPECT_EQ(m_kelpo->QueryInterface(iid, &p), E_NOINTERFACE);
        EXPECT_EQ(p, nullptr);
    }
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
