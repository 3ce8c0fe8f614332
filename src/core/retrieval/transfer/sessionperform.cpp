#include "transfersession.h"

#include "queue/stopwakeup.h"

#include <curl/curl.h>

namespace Tarnwick {

int TransferSession::Perform(const std::function<bool()>& stopRequested) {
    if (curl_multi_add_handle(multi_, handle_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    // A stop request ends the wait below at once; the request is looked at after every wait.
    // The wake is remembered by the handle, so one that comes before the wait is not lost.
    const StopWakeup::Registration wakeOnStop([multi = multi_] { curl_multi_wakeup(multi); });
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        bool done = false;
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle_) {
                result = message->data.result;
                done = true;
            }
        }
        if (done || running == 0)
            break;
        if (stopRequested()) {
            result = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi_, nullptr, 0, PollMilliseconds, nullptr);
    }
    curl_multi_remove_handle(multi_, handle_);
    return result;
}

} // namespace Tarnwick
