// The function container: event order, result bookkeeping, initialization
// and re-binding, property dispatch, the serialization steps of a version-1
// services provider, and the creation of a document's functions.
#include "functioncontainer.h"
#include "jclhandler.h"
#include "propertyhandler.h"
#include "render_support.h"
#include "rfpsprocserver.h"

namespace {

using namespace rendertest;

class ContainerTest : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        CallLog::entries.clear();
        InitJobInfo(&job_);
        SetJobInfoLong(&job_, JobInfoFieldId::JobId, 7);
        devmode_.resize(sizeof(DEVMODEW) + 8, 0xAB);
        DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(devmode_.data());
        dm->dmSize = sizeof(DEVMODEW);
        dm->dmDriverExtra = 8;
        // The services hand out what a real device would have: the system
        // function and the job header writer need a device and a helper.
        core_.options = {{"%OutputFormat", "Speed"}, {"%CtrlDAfter", "False"}, {"%PagePerSheet", "1"}};
        device_.dwSize = sizeof(device_);
        services_.devmode = dm;
        services_.jobInfo = &job_;
        services_.device = &device_;
        services_.core = &core_;
        container_ = FunctionContainer::Create();
        ASSERT_NE(nullptr, container_);
    }

    void TearDown() override
    {
        if (container_ != nullptr) container_->Release();
        RenderTest::TearDown();
    }

    RecordingFunction *Add(const std::string &name, LONG kind)
    {
        RecordingFunction *f = new RecordingFunction(name);
        EXPECT_EQ(S_OK, container_->AddFunction(kind, f));
        return f;
    }

    HRESULT Fire(DWORD id, PVOID argument = nullptr) { return container_->FireEvent(id, argument); }

    // Releases the container's reference to the fake services, which the
    // container's creator would have taken.
    void Initialize()
    {
        services_.AddRef();
        ASSERT_EQ(S_OK, container_->Initialize(&services_));
        CallLog::entries.clear();
    }

    JobInfo job_;
    Bytes devmode_;
    DEVOBJ device_ = {};
    FakeCore core_;
    FakeServices services_;
    FunctionContainer *container_ = nullptr;
};

typedef std::vector<std::string> Calls;

TEST_F(ContainerTest, HoldsItsProcsetServerFirst)
{
    ASSERT_EQ(1, container_->Count());
    EXPECT_EQ(FUNCTION_KIND_SYSTEM, container_->At(0).kind);
    EXPECT_STREQ("PSProcServer", container_->At(0).name);
    EXPECT_EQ(S_OK, container_->At(0).result);
}

TEST_F(ContainerTest, FireEventBeforeInitializeFails)
{
    Add("doc", FUNCTION_KIND_DOCUMENT);
    EXPECT_EQ(E_FAIL, Fire(RF_ENDDOC));
    EXPECT_EQ(Calls(), CallLog::entries);
    EXPECT_EQ(E_FAIL, container_->Dispatch("doc", "__Serialize__", 1, 1, "x"));
}

TEST_F(ContainerTest, DocumentFunctionsHearEachEventBeforeSystemFunctions)
{
    Add("sys", FUNCTION_KIND_SYSTEM);
    Add("jcl", FUNCTION_KIND_DOCUMENT);
    Add("prop", FUNCTION_KIND_DOCUMENT);
    Initialize();

    StartDocEvent start = {u"Plan", 42};
    PSInjectEvent inject = {PSINJECT_BEGINPAGESETUP};
    struct Case {
        DWORD id;
        PVOID argument;
        Calls calls;
    } cases[] = {
        {RF_STARTDOC, &start, {"jcl OnStartDoc Plan 42", "prop OnStartDoc Plan 42", "sys OnStartDoc Plan 42"}},
        {RF_ENDDOC, nullptr, {"jcl OnEndDoc", "prop OnEndDoc", "sys OnEndDoc"}},
        // The document functions prepare the stream before anyone begins it.
        {RF_BEGINSTREAM,
         nullptr,
         {"jcl PreBeginStream", "prop PreBeginStream", "jcl OnBeginStream", "prop OnBeginStream",
          "sys OnBeginStream"}},
        // ... and close the job after everyone ended it.
        {RF_ENDJOB,
         nullptr,
         {"jcl OnEndJob", "prop OnEndJob", "sys OnEndJob", "jcl PostEndJob", "prop PostEndJob"}},
        {RF_BEGINJOB, nullptr, {"jcl OnBeginJob", "prop OnBeginJob", "sys OnBeginJob"}},
        {RF_ENDSTREAM, nullptr, {"jcl OnEndStream", "prop OnEndStream", "sys OnEndStream"}},
        {RF_PSINJECT, &inject, {"jcl OnPSInject 101", "prop OnPSInject 101", "sys OnPSInject 101"}},
    };
    for (const Case &c : cases) {
        CallLog::entries.clear();
        EXPECT_EQ(S_OK, Fire(c.id, c.argument)) << "event " << c.id;
        EXPECT_EQ(c.calls, CallLog::entries) << "event " << c.id;
    }
}

TEST_F(ContainerTest, RejectedAndUnknownEvents)
{
    Add("jcl", FUNCTION_KIND_DOCUMENT);
    Initialize();
    EXPECT_EQ(E_NOTIMPL, Fire(RF_REJECTED));
    EXPECT_EQ(S_OK, Fire(0));
    EXPECT_EQ(S_OK, Fire(9));
    EXPECT_EQ(S_OK, Fire(0xFFFFFFFF));
    EXPECT_EQ(Calls(), CallLog::entries);
    // Events with an argument record need one.
    EXPECT_EQ(E_INVALIDARG, Fire(RF_STARTDOC));
    EXPECT_EQ(E_INVALIDARG, Fire(RF_PSINJECT));
}

TEST_F(ContainerTest, FunctionAnsweringOtherThanOkHearsNothingMore)
{
    RecordingFunction *quiet = Add("quiet", FUNCTION_KIND_DOCUMENT);
    RecordingFunction *broken = Add("broken", FUNCTION_KIND_DOCUMENT);
    Add("sys", FUNCTION_KIND_SYSTEM);
    quiet->answers["OnBeginJob"] = S_FALSE;
    broken->answers["OnEndStream"] = E_UNEXPECTED;
    Initialize();

    // S_FALSE leaves the function out without failing the event.
    EXPECT_EQ(S_OK, Fire(RF_BEGINJOB));
    EXPECT_EQ(S_FALSE, container_->At(1).result);
    // A negative answer fails this event and every later one.
    EXPECT_EQ(E_FAIL, Fire(RF_ENDSTREAM));
    EXPECT_EQ(E_UNEXPECTED, container_->At(2).result);
    CallLog::entries.clear();
    EXPECT_EQ(E_FAIL, Fire(RF_ENDDOC));
    EXPECT_EQ(Calls({"sys OnEndDoc"}), CallLog::entries);
    EXPECT_EQ(E_FAIL, Fire(9));
}

TEST_F(ContainerTest, FirstInitializeInitializesAndStopsAtAFailure)
{
    RecordingFunction *a = Add("a", FUNCTION_KIND_DOCUMENT);
    RecordingFunction *b = Add("b", FUNCTION_KIND_DOCUMENT);
    Add("c", FUNCTION_KIND_DOCUMENT);
    a->answers["Initialize"] = S_FALSE;
    b->answers["Initialize"] = E_ACCESSDENIED;
    services_.AddRef();
    EXPECT_EQ(E_FAIL, container_->Initialize(&services_));
    EXPECT_EQ(Calls({"a Initialize", "a Bind", "b Initialize", "b Bind"}), CallLog::entries);
    EXPECT_NE(std::string::npos, LogText().find("Function[b] initialization failed."));
    EXPECT_FALSE(container_->IsInitialized());
    EXPECT_EQ(E_INVALIDARG, container_->Initialize(nullptr));
}

TEST_F(ContainerTest, LaterInitializeRebindsHealthyFunctionsOnly)
{
    RecordingFunction *left = Add("left", FUNCTION_KIND_DOCUMENT);
    Add("healthy", FUNCTION_KIND_DOCUMENT);
    left->answers["OnEndDoc"] = S_FALSE;
    Initialize();
    Fire(RF_ENDDOC);
    CallLog::entries.clear();

    // A reset device: the services of the new rendering system.
    FakeServices moved = services_;
    moved.refs = 1;
    EXPECT_EQ(S_OK, container_->Initialize(&moved));
    EXPECT_EQ(Calls({"healthy Bind"}), CallLog::entries);
    EXPECT_EQ(&moved, container_->Services());
    // The container's reference moves with it (its creator's business);
    // give the fake's count back.
    container_->Release();
    container_ = nullptr;
    EXPECT_EQ(0, moved.refs);
}

TEST_F(ContainerTest, LaterInitializeFailsOnAFailedFunction)
{
    RecordingFunction *broken = Add("broken", FUNCTION_KIND_DOCUMENT);
    broken->answers["OnEndDoc"] = E_FAIL;
    Initialize();
    Fire(RF_ENDDOC);
    services_.AddRef();
    EXPECT_EQ(E_FAIL, container_->Initialize(&services_));
    EXPECT_NE(std::string::npos, LogText().find("Function[broken] initialization failed."));
    services_.Release();
}

TEST_F(ContainerTest, TableHoldsSixtyFourFunctions)
{
    for (LONG i = 1; i < kMaxFunctions; ++i) Add("f" + std::to_string(i), FUNCTION_KIND_DOCUMENT);
    EXPECT_EQ(kMaxFunctions, container_->Count());
    RecordingFunction *extra = new RecordingFunction("extra");
    EXPECT_EQ(E_OUTOFMEMORY, container_->AddFunction(FUNCTION_KIND_DOCUMENT, extra));
    delete extra;
    EXPECT_EQ(E_INVALIDARG, container_->AddFunction(FUNCTION_KIND_DOCUMENT, nullptr));
}

TEST_F(ContainerTest, DispatchReachesTheOwnersStateReader)
{
    Add("other", FUNCTION_KIND_DOCUMENT);
    RecordingFunction *owner = Add("owner", FUNCTION_KIND_DOCUMENT);
    Initialize();
    EXPECT_EQ(S_OK, container_->Dispatch("owner", "__Serialize__", 1, 3, "abc"));
    EXPECT_EQ(Calls({"owner Deserialize abc"}), CallLog::entries);
    // Another name is not the function's state; nobody else is asked.
    CallLog::entries.clear();
    EXPECT_EQ(S_FALSE, container_->Dispatch("owner", "__Other__", 1, 3, "abc"));
    EXPECT_EQ(S_FALSE, container_->Dispatch("nobody", "__Serialize__", 1, 3, "abc"));
    EXPECT_EQ(E_INVALIDARG, container_->Dispatch("owner", "__Serialize__", 1, 0, "abc"));
    EXPECT_EQ(Calls(), CallLog::entries);
    owner->answers["Deserialize"] = E_ABORT;
    EXPECT_EQ(E_ABORT, container_->Dispatch("owner", "__Serialize__", 1, 1, "z"));
    EXPECT_EQ(E_INVALIDARG, container_->Dispatch(nullptr, "__Serialize__", 1, 1, "z"));
    EXPECT_EQ(E_INVALIDARG, container_->Dispatch("owner", nullptr, 1, 1, "z"));
    EXPECT_EQ(E_INVALIDARG, container_->Dispatch("owner", "__Serialize__", 1, 1, nullptr));
}

TEST_F(ContainerTest, VersionOneProviderReceivesTheJobsState)
{
    services_.version = kServicesVersionSerializing;
    Add("jcl", FUNCTION_KIND_DOCUMENT);
    Initialize();
    StartDocEvent start = {u"Ab", 7};
    EXPECT_EQ(S_OK, Fire(RF_STARTDOC, &start));
    EXPECT_EQ(Calls({"jcl OnStartDoc Ab 7", "WriteProperty __Serialize__ __PublicDM__",
                     "WriteProperty __Serialize__ __JobInfo__", "jcl Serialize",
                     "WriteProperty __Serialize__ __StartDoc__"}),
              CallLog::entries);
    ASSERT_EQ(3u, services_.properties.size());
    EXPECT_EQ(devmode_, services_.properties[0].data);
    EXPECT_EQ(1u, services_.properties[0].type);
    JobInfo back;
    InitJobInfo(&back);
    const Bytes &serialized = services_.properties[1].data;
    ASSERT_TRUE(ReadSerializedJobInfo(&back, serialized.data(), static_cast<DWORD>(serialized.size())));
    EXPECT_EQ(7, GetJobInfoLong(&back, JobInfoFieldId::JobId));
    EXPECT_EQ(Bytes({'A', 0, 'b', 0, 0, 0}), services_.properties[2].data);

    CallLog::entries.clear();
    services_.properties.clear();
    EXPECT_EQ(S_OK, Fire(RF_BEGINSTREAM));
    EXPECT_EQ(Calls({"jcl PreBeginStream", "jcl OnBeginStream", "WriteProperty __Serialize__ __PublicDM__",
                     "WriteProperty __Serialize__ __BeginStream__"}),
              CallLog::entries);
    ASSERT_EQ(2u, services_.properties.size());
    EXPECT_EQ(Bytes({3, 0, 0, 0}), services_.properties[1].data);
}

TEST_F(ContainerTest, FailingSerializationStepEndsTheEvent)
{
    services_.version = kServicesVersionSerializing;
    services_.propertyResult = E_ACCESSDENIED;
    Add("jcl", FUNCTION_KIND_DOCUMENT);
    Initialize();
    StartDocEvent start = {u"Ab", 7};
    EXPECT_EQ(E_ACCESSDENIED, Fire(RF_STARTDOC, &start));
    EXPECT_EQ(Calls({"jcl OnStartDoc Ab 7", "WriteProperty __Serialize__ __PublicDM__"}), CallLog::entries);
    // Without job information there is nothing to serialize.
    services_.propertyResult = S_OK;
    services_.jobInfo = nullptr;
    CallLog::entries.clear();
    EXPECT_EQ(E_FAIL, Fire(RF_STARTDOC, &start));
    EXPECT_EQ(Calls({"jcl OnStartDoc Ab 7", "WriteProperty __Serialize__ __PublicDM__"}), CallLog::entries);
}

TEST_F(ContainerTest, PluginProviderReceivesNoSerialization)
{
    Add("jcl", FUNCTION_KIND_DOCUMENT);
    Initialize();
    StartDocEvent start = {u"Ab", 7};
    EXPECT_EQ(S_OK, Fire(RF_STARTDOC, &start));
    EXPECT_EQ(S_OK, Fire(RF_BEGINSTREAM));
    EXPECT_TRUE(services_.properties.empty());
}

class CreateFunctionsTest : public ContainerTest {};

TEST_F(CreateFunctionsTest, DocumentFunctionsFollowTheProcsetServer)
{
    container_->Release();
    container_ = nullptr;
    IFunctionContainer *created = nullptr;
    JclHandler *jcl = nullptr;
    PropertyHandler *property = nullptr;
    ASSERT_EQ(S_OK, CreateFunctionContainer(&services_, &created, &jcl, &property));
    FunctionContainer *table = static_cast<FunctionContainer *>(created);
    ASSERT_EQ(3, table->Count());
    const char *names[] = {"PSProcServer", "JclHandler", "PropertyHandler"};
    const LONG kinds[] = {FUNCTION_KIND_SYSTEM, FUNCTION_KIND_DOCUMENT, FUNCTION_KIND_DOCUMENT};
    for (LONG i = 0; i < 3; ++i) {
        EXPECT_STREQ(names[i], table->At(i).name) << i;
        EXPECT_EQ(kinds[i], table->At(i).kind) << i;
        EXPECT_TRUE(table->At(i).function->IsInitialized()) << i;
    }
    EXPECT_EQ(table->At(1).function, jcl);
    EXPECT_EQ(table->At(2).function, property);
    // One reference for the container, given back with it.
    EXPECT_EQ(2, services_.refs);
    created->Release();
    EXPECT_EQ(1, services_.refs);
}

TEST_F(CreateFunctionsTest, FailuresLeaveNoReferenceBehind)
{
    container_->Release();
    container_ = nullptr;
    IFunctionContainer *created = reinterpret_cast<IFunctionContainer *>(0x1);
    JclHandler *jcl = nullptr;
    PropertyHandler *property = nullptr;
    // The functions cannot bind without the job's facts.
    services_.jobInfo = nullptr;
    EXPECT_EQ(E_FAIL, CreateFunctionContainer(&services_, &created, &jcl, &property));
    EXPECT_EQ(nullptr, created);
    EXPECT_EQ(1, services_.refs);
    EXPECT_NE(std::string::npos, LogText().find("Function initialization failed."));

    services_.jobInfo = &job_;
    kvp::SystemFailNext(kvp::Fault::Allocation);
    EXPECT_EQ(E_OUTOFMEMORY, CreateFunctionContainer(&services_, &created, &jcl, &property));
    EXPECT_EQ(1, services_.refs);
    EXPECT_EQ(0, ModuleObjectCount());
}

}  // namespace
