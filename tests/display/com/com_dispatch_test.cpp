// The dispatch layer's COM path: the console's calls reach the stand-in COM
// server (registered in the test prefix under the real ProgID) through
// IDispatch::Invoke, and every answer and every failure comes back as the
// built-in control gives them directly. A small IDispatch at the Invoke seam
// covers the failures the stand-in never produces (EXCEPINFO, odd results).
#include "device/LineDisplayControl.h"
#include "display/DispatchError.h"
#include "display/Operations.h"
#include "display/ResultCodes.h"
#include "display/com/ComDispatch.h"

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using display::DispatchError;
using display::dispIdOf;
using display::FailureKind;
using display::Variant;

namespace {

struct Call {
    display::DispId id;
    unsigned flags;
    std::vector<Variant> args;
};

constexpr unsigned get = display::invokeMethod | display::invokePropertyGet;
constexpr unsigned put = display::invokePropertyPut;
constexpr unsigned method = display::invokeMethod;

Variant str(const char16_t* s) { return Variant::fromString(s); }
Variant i4(std::int32_t v) { return Variant::fromInt32(v); }

// A road through every form and type, then calls that fail as calls.
std::vector<Call> road() {
    std::vector<Call> calls{
        {dispIdOf("State"), get, {}},
        {dispIdOf("Open"), get, {str(u"TQN730")}},
        {dispIdOf("ClaimDevice"), get, {i4(1000)}},
        {dispIdOf("DeviceEnabled"), put, {Variant::fromBool(true)}},
        {dispIdOf("DisplayText"), get, {str(u"Hello \u00e9\u20ac"), i4(0)}},
        {dispIdOf("DisplayTextAt"), get, {i4(1), i4(2), str(u""), i4(0)}},
        {dispIdOf("CursorRow"), put, {i4(1)}},
        {dispIdOf("DeviceBrightness"), put, {i4(50)}},
        {dispIdOf("CursorUpdate"), put, {i4(0)}},  // an integer taken for a boolean
        {dispIdOf("CheckHealth"), get, {i4(1)}},
        {dispIdOf("ClearText"), method, {}},
        // Failures as calls.
        {9999, get, {}},
        {dispIdOf("Open"), get, {}},
        {dispIdOf("ClaimDevice"), get, {str(u"1000")}},
        {dispIdOf("State"), put, {i4(1)}},
        {dispIdOf("DisplayText"), get, {str(u"x")}},
    };
    // Then every property the console reads, by property get.
    for (const auto& op : display::operations)
        if (!op.isMethod) calls.push_back({op.id, get, {}});
    calls.push_back({dispIdOf("ReleaseDevice"), method, {}});
    calls.push_back({dispIdOf("Close"), method, {}});
    return calls;
}

// What each call returned, or the failure kind it threw.
std::vector<std::string> walk(display::Dispatch& control) {
    std::vector<std::string> seen;
    for (const Call& call : road()) {
        try {
            seen.push_back(control.invoke(call.id, call.flags, call.args).describe());
        } catch (const DispatchError& e) {
            seen.push_back(std::string("failed: ") + display::failureKindName(e.kind()));
        }
    }
    return seen;
}

class ComPath : public ::testing::Test {
protected:
    std::unique_ptr<display::Dispatch> create() {
        display::ControlFactory factory;
        display::com::registerComControl(factory);
        return factory.create(display::lineDisplayProgId);
    }
    display::com::ApartmentScope apartment;
};

DispatchError failureOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const DispatchError& e) {
        return e;
    }
    ADD_FAILURE() << "the call did not fail";
    return DispatchError(FailureKind::ControlFault, "");
}

}  // namespace

TEST_F(ComPath, everyFormAndTypeAnswersAsTheBuiltInControlDoes) {
    std::vector<std::string> direct;
    {
        device::LineDisplayControl builtIn;
        direct = walk(builtIn);
    }
    const auto control = create();
    const auto overCom = walk(*control);
    ASSERT_EQ(overCom.size(), direct.size());
    const auto calls = road();
    for (std::size_t i = 0; i < direct.size(); ++i)
        EXPECT_EQ(overCom[i], direct[i]) << "call " << i << " (dispatch ID " << calls[i].id << ")";
    // Anchors, so that the two paths cannot agree on nonsense.
    EXPECT_EQ(overCom[0], "integer 1");  // closed
    EXPECT_EQ(overCom[1], "integer 0");
    EXPECT_EQ(overCom[2], "integer 0");
    EXPECT_EQ(overCom[11], "failed: unknown member");
    EXPECT_EQ(overCom[12], "failed: wrong argument count");
    EXPECT_EQ(overCom[13], "failed: type mismatch");
}

TEST_F(ComPath, failuresSayWhatFailedAndWhy) {
    display::OPOSLineDisplay control(create());
    const auto unknown = failureOf([&] { control.read(4242); });
    EXPECT_EQ(unknown.kind(), FailureKind::UnknownMember);
    EXPECT_NE(std::string(unknown.what()).find("dispatch ID 4242"), std::string::npos) << unknown.what();

    const auto count = failureOf([&] { control.read(dispIdOf("Open")); });
    EXPECT_EQ(count.kind(), FailureKind::BadArgumentCount);
    EXPECT_NE(std::string(count.what()).find("Open (37) does not take 0 argument"), std::string::npos)
        << count.what();

    const auto type = failureOf([&] { control.read(dispIdOf("ClaimDevice"), {str(u"soon")}); });
    EXPECT_EQ(type.kind(), FailureKind::TypeMismatch);
    EXPECT_NE(std::string(type.what()).find("ClaimDevice (32)"), std::string::npos) << type.what();
}

TEST_F(ComPath, aMissingProgIdIsControlUnavailable) {
    const auto e = failureOf([] { display::com::ComDispatch::create("LineDisplayTest.NoSuchControl"); });
    EXPECT_EQ(e.kind(), FailureKind::ControlUnavailable);
    EXPECT_EQ(
        std::string(e.what()).rfind("no control is registered under this ProgID on this machine", 0), 0u)
        << e.what();
}

TEST_F(ComPath, theClaimIsExclusiveBetweenTwoControlObjects) {
    display::OPOSLineDisplay first(create()), second(create());
    ASSERT_EQ(first.read(dispIdOf("Open"), {str(u"TQN730")}).int32(), display::OPOS_SUCCESS);
    ASSERT_EQ(second.read(dispIdOf("Open"), {str(u"TQN730")}).int32(), display::OPOS_SUCCESS);
    EXPECT_EQ(first.read(dispIdOf("ClaimDevice"), {i4(0)}).int32(), display::OPOS_SUCCESS);
    EXPECT_EQ(second.read(dispIdOf("ClaimDevice"), {i4(100)}).int32(), display::OPOS_E_TIMEOUT);
    EXPECT_EQ(second.read(dispIdOf("Claimed")), Variant::fromBool(false));
    first.call(dispIdOf("ReleaseDevice"));
    EXPECT_EQ(second.read(dispIdOf("ClaimDevice"), {i4(0)}).int32(), display::OPOS_SUCCESS);
    second.call(dispIdOf("Close"));
    first.call(dispIdOf("Close"));
}

namespace {

// An IDispatch whose Invoke gives what a test sets: the seam for answers
// the stand-in never gives.
class ScriptedDispatch final : public IDispatch {
public:
    std::function<HRESULT(DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*)> onInvoke;
    ULONG references = 1;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
        EXCEPINFO* exception, UINT* argError) override {
        return onInvoke(params, result, exception, argError);
    }
};

HRESULT STDAPICALLTYPE fillInLater(EXCEPINFO* info) {
    info->bstrSource = ::SysAllocString(L"OposLineDisplay");
    info->bstrDescription = ::SysAllocString(L"the service object lost the port");
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
}

}  // namespace

TEST(ComSeam, anExceptionCarriesTheControlsOwnWordsEvenWhenFilledInLater) {
    ScriptedDispatch object;
    object.onInvoke = [](DISPPARAMS*, VARIANT*, EXCEPINFO* info, UINT*) {
        info->scode = E_FAIL;
        info->pfnDeferredFillIn = fillInLater;
        return DISP_E_EXCEPTION;
    };
    object.AddRef();  // one reference for the ComDispatch to release
    {
        display::com::ComDispatch control(&object);
        const auto e = failureOf([&] { control.invoke(dispIdOf("ClaimDevice"), get, std::vector{i4(5)}); });
        EXPECT_EQ(e.kind(), FailureKind::ControlFault);
        EXPECT_EQ(std::string(e.what()),
            "ClaimDevice (32) failed inside the control: OposLineDisplay: the service object lost the port");
    }
    EXPECT_EQ(object.references, 1u);  // released exactly once
}

TEST(ComSeam, argumentsTravelLastFirstAndTheBadOneIsNamedFromTheFront) {
    ScriptedDispatch object;
    std::vector<VARTYPE> types;
    object.onInvoke = [&types](DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT* argError) {
        for (UINT i = 0; i < params->cArgs; ++i) types.push_back(params->rgvarg[i].vt);
        *argError = 3;  // Invoke's numbering: the first of four
        return DISP_E_TYPEMISMATCH;
    };
    object.AddRef();
    display::com::ComDispatch control(&object);
    const auto e = failureOf([&] {
        control.invoke(
            dispIdOf("DisplayTextAt"), get, std::vector{i4(1), i4(2), str(u"x"), Variant::fromBool(true)});
    });
    EXPECT_EQ(types, (std::vector<VARTYPE>{VT_BOOL, VT_BSTR, VT_I4, VT_I4}));
    EXPECT_EQ(e.kind(), FailureKind::TypeMismatch);
    EXPECT_NE(std::string(e.what()).find("(argument 1)"), std::string::npos) << e.what();
}

TEST(ComSeam, aResultOfAnUnusedTypeOrAnOddHresultIsAClearFailure) {
    ScriptedDispatch object;
    HRESULT answer = S_OK;
    object.onInvoke = [&answer](DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
        result->vt = VT_R8;
        result->dblVal = 1.5;
        return answer;
    };
    object.AddRef();
    display::com::ComDispatch control(&object);
    const auto typed = failureOf([&] { control.invoke(dispIdOf("Columns"), get, {}); });
    EXPECT_EQ(typed.kind(), FailureKind::TypeMismatch);
    EXPECT_NE(std::string(typed.what()).find("VT_R8 (5)"), std::string::npos) << typed.what();

    answer = DISP_E_OVERFLOW;
    EXPECT_EQ(failureOf([&] { control.invoke(dispIdOf("Columns"), get, {}); }).kind(), FailureKind::Overflow);
    answer = RPC_E_DISCONNECTED;
    const auto odd = failureOf([&] { control.invoke(dispIdOf("Columns"), get, {}); });
    EXPECT_EQ(odd.kind(), FailureKind::ControlFault);
    EXPECT_NE(std::string(odd.what()).find("0x80010108"), std::string::npos) << odd.what();
}
