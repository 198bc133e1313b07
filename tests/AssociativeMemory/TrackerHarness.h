#pragma once
// Test support for the scan and the tracker: an event recorder that can move recognised windows, and a
// hand-built memory whose recognition the test switches on and off.

#include "CvAssociativeMemory.h"
#include "LanescopeSettings.h"
#include "ReportCapture.h"

#include <opencv2/core.hpp>

#include <string>
#include <vector>

/* One event as the event function saw it. */
struct Event
{
    int code;
    bool hasType;
    int type;
    bool hasInfo;
    CvAMObjectInfo info;
    void* block;           /* what the user slot held when the event arrived */
    uint64_t frameCounter; /* the memory's counter during the event */
};

/* Records every event of a tracking call. When targets are given, the i-th recognised window of a call is
   moved to targets[i % targets.size()], so that a test decides where the detections are. */
struct Recorder
{
    CvAssociativeMemory* memory = nullptr;
    std::vector<Event> events;
    std::vector<CvRect> targets;
    bool attachBlocks = false; /* give every track a user block on its first report */
    int recognised = 0;
    int blocksMade = 0;

    static void Handle(int code, int* type, CvAMObjectInfo* info, void* user)
    {
        Recorder& r = *static_cast<Recorder*>(user);
        Event e = {code,
                   type != nullptr,
                   type ? *type : 0,
                   info != nullptr,
                   CvAMObjectInfo(),
                   nullptr,
                   r.memory ? r.memory->frameCounter : 0};
        if (info) {
            e.info = *info;
            e.block = info->userSlot ? *info->userSlot : nullptr;
        }
        if (code == CV_AM_RECOGNIZED && !r.targets.empty())
            info->rect = r.targets[r.recognised++ % r.targets.size()];
        if (code == CV_AM_TRACKED && r.attachBlocks && info->userSlot && !*info->userSlot) {
            *info->userSlot = new int(r.blocksMade++);
        }
        r.events.push_back(e);
    }

    /* Codes of the recorded events, in order, with runs of scan events (1 and 2) folded into one entry. */
    std::vector<int> Outline() const
    {
        std::vector<int> codes;
        for (const Event& e : events) {
            const bool scan = e.code == CV_AM_RECOGNIZED || e.code == CV_AM_NOT_RECOGNIZED;
            if (!(scan && !codes.empty() && codes.back() == e.code))
                codes.push_back(e.code);
        }
        return codes;
    }

    /* The recorded events of one code. */
    std::vector<Event> Of(int code) const
    {
        std::vector<Event> list;
        for (const Event& e : events)
            if (e.code == code)
                list.push_back(e);
        return list;
    }
};

/* A default 100 x 100 memory on a uniform grey frame whose root has one level-1 base. Every feature of a
   uniform frame is 0, so each window's distance to the base is the base's first feature value, 1000: the
   base's threshold decides whether windows are recognised and with which score. */
struct HandMemory
{
    CvAssociativeMemory am;
    cv::Mat image;
    IplImage header;
    CvAMBase* base = nullptr;
    Recorder recorder;

    HandMemory(int imageWidth, int imageHeight) : image(imageHeight, imageWidth, CV_8UC1, cv::Scalar(128))
    {
        am.Create(100, 100, 0);
        header = cvIplImage(image);
        am.SetImage(&header);
        int16_t features[9] = {1000, 0, 0, 0, 0, 0, 0, 0, 0};
        const CvAMBaseHeader head = {2, 100, 2000, 1};
        base = am.root->CreateChild(nullptr, cvRect(0, 0, 80, 80), features, &head);
        recorder.memory = &am;
    }

    /* Windows are recognised as type with score 2^31 - 1 - 1000 (2^30 - 1) / threshold when the threshold
       is above 1000, and not recognised with score threshold (2^30 - 1) / 1000 otherwise. */
    void Recognise(uint64_t threshold, int type = 1)
    {
        base->threshold = threshold;
        base->data = type;
    }

    /* One tracking call whose recognised windows all land on targets, learning off unless asked. */
    void Track(std::vector<CvRect> targets, bool learning = CV_LS_LEARNING,
               double ceiling = CV_LS_LEARNING_CEILING, double floor = CV_LS_ACCEPTANCE_FLOOR)
    {
        recorder.events.clear();
        recorder.recognised = 0;
        recorder.targets = std::move(targets);
        am.ObjectTracking(Recorder::Handle, &recorder, learning, ceiling, floor);
    }

    /* Slot i of the tracks. */
    CvAMTrack* Slot(int i) { return reinterpret_cast<CvAMTrack*>(cvGetSeqElem(am.tracks, i)); }
};

/* The confidence of a read with this score. */
inline double Confidence(int64_t score)
{
    return static_cast<double>(score) * 4.656612875245797e-10;
}
