#pragma once
// One applied effect: its parameters by index and id, its sequence data, and the commands the host sends
// it. An instance without a plug-in still serves the callbacks (tests of the effect's inside use its
// input record to call the effect's functions directly). An instance must go before its host.
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/Host.h"
#include "host/Plugin.h"
#include "host/Project.h"
#include "host/World.h"
#include "sdk/AE_Effect.h"

namespace host {

// What the host gave and got back in a SmartFX pre-render.
struct PreRenderResult {
    PF_RenderRequest request{};                  // the host's request as sent
    PF_PreRenderOutput output{};                 // as the plug-in left it
    std::vector<PF_RenderRequest> layerRequests; // what the plug-in asked of checkout_layer, in order
};

class Instance {
public:
    explicit Instance(Host& host, std::shared_ptr<Plugin> plugin = nullptr);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    Host& host() const { return host_; }
    Plugin* plugin() const { return plugin_.get(); }

    // ---- The input record --------------------------------------------------------------------------
    // The input record the host would send now (callbacks, effect reference, settings, time, parameters,
    // sequence data, basic suite).
    PF_InData MakeInData() const;
    PF_ProgPtr EffectRef() const;
    void SetTime(A_long current, A_long step, A_u_long scale);

    // ---- Commands ------------------------------------------------------------------------------------
    // Sends one command through the entry point with this instance's records. `out` receives the output
    // record (also kept as LastOutData). Throws HostError when there is no plug-in.
    PF_Err Send(PF_Cmd cmd, PF_ParamDef* params[] = nullptr, PF_LayerDef* output = nullptr,
                void* extra = nullptr, PF_OutData* out = nullptr);

    PF_Err About(std::string* message = nullptr);
    // Throws HostError when the answers disagree with the plug-in's PiPL (version, flags).
    PF_Err GlobalSetup();
    PF_Err GlobalSetdown();
    PF_Err ParamsSetup(); // the host keeps the definitions the plug-in adds
    PF_Err SequenceSetup();
    PF_Err SequenceSetdown();
    // Flattens the sequence data; `flat` receives the flat bytes, which the host keeps as the
    // instance's sequence data until SequenceResetup.
    PF_Err SequenceFlatten(std::vector<std::uint8_t>* flat = nullptr);
    // Re-creates the sequence data from the host's current (flat) data, or from the given bytes.
    PF_Err SequenceResetup();
    PF_Err SequenceResetup(const std::vector<std::uint8_t>& stored);
    PF_Err UpdateParamsUI();
    PF_Err UserChangedParam(PF_ParamIndex index);
    PF_Err DoDialog();
    PF_Err QueryDynamicFlags();
    // Global setup, parameter setup and sequence setup, stopping at the first failure.
    PF_Err Apply();
    // Another instance of the same effect, whose global setup this instance shares (a host sends global
    // setup once per effect, not per applied instance): its global data is given to this one's commands.
    void ShareGlobalSetup(const Instance& setUp) { globalData_ = setUp.globalData_; }

    // Classic render of `input` into `output` (poisoned first unless the settings say otherwise).
    PF_Err Render(World& input, World& output);
    // SmartFX pre-render for an output request (default: the whole input) with the input as layer 0.
    // The pre-render data stays with the host until SmartRender or ReleasePreRenderData.
    PF_Err SmartPreRender(World& input, PreRenderResult* result = nullptr, const PF_LRect* request = nullptr);
    // SmartFX render from the kept pre-render data (none: the plug-in sees a null record). The host
    // releases the pre-render data through its delete function afterwards.
    PF_Err SmartRender(World& input, World& output);
    // Pre-render and render in one step.
    PF_Err SmartRenderFrame(World& input, World& output, PreRenderResult* result = nullptr);
    void ReleasePreRenderData();

    const PF_OutData& LastOutData() const { return lastOut_; }

    // ---- Parameters -----------------------------------------------------------------------------------
    // Host parameters including the input layer at index 0.
    A_long ParamCount() const;
    const PF_ParamDef& Param(PF_ParamIndex index) const; // throws HostError for a bad index
    PF_ParamDef& MutableParam(PF_ParamIndex index);
    PF_ParamIndex IndexOfId(A_long id) const; // -1 when no parameter has the id
    PF_ParamIndex IndexOfName(const std::string& name) const;
    bool IsEnabled(PF_ParamIndex index) const; // the UI state the plug-in last set
    int UpdateParamUICalls() const;

    void SetSlider(PF_ParamIndex index, A_long value);
    void SetFloat(PF_ParamIndex index, double value);
    void SetCheckbox(PF_ParamIndex index, bool value);
    void SetPopup(PF_ParamIndex index, A_long value);
    void SetColor(PF_ParamIndex index, PF_Pixel value);
    // A value from `time` on (until the next later keyframe); checkouts at other times see the others.
    void SetValueAt(PF_ParamIndex index, A_long time, const PF_ParamDefUnion& value);
    // Every parameter back to the default it was added with.
    void ResetParams();

    // ---- Bookkeeping ----------------------------------------------------------------------------------
    PF_Handle SequenceData() const { return sequenceData_; }
    std::vector<std::uint8_t> SequenceBytes() const;
    PF_Handle GlobalData() const { return globalData_; }
    std::vector<std::pair<A_long, A_long>> ProgressCalls() const; // (current, total) per call
    int OutstandingCheckouts() const;                             // parameter checkouts not yet checked in
    int UnmatchedCheckins() const;         // checkins of parameters that were not checked out
    int OutstandingLayerCheckouts() const; // SmartFX layer pixels not checked in
    std::string LeakReport() const;        // what this instance still holds open; empty when nothing

    // ---- Projects -------------------------------------------------------------------------------------
    // The instance as a project stores it: parameter values by id and the flat sequence data (the
    // instance is flattened and re-set-up to get it).
    PF_Err Capture(Project* project);
    // Values by id, then sequence re-setup from the stored bytes. Ids the instance does not know are
    // skipped and listed in `unknownIds`.
    PF_Err Restore(const Project& project, std::vector<A_long>* unknownIds = nullptr);
    // Capture and write to a file; read a file and restore (throws HostError for an unreadable file or
    // a project of another effect).
    PF_Err SaveProject(const std::filesystem::path& file);
    PF_Err OpenProject(const std::filesystem::path& file, std::vector<A_long>* unknownIds = nullptr);

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    Host& host_;
    std::shared_ptr<Plugin> plugin_;
    std::unique_ptr<Impl> impl_;
    PF_Handle sequenceData_ = nullptr;
    PF_Handle globalData_ = nullptr;
    PF_OutData lastOut_{};
    A_long currentTime_, timeStep_;
    A_u_long timeScale_;
};

} // namespace host
