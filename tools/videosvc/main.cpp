// videosvc: the sample video service. Serves watch pages and video streams from a media folder
// on a loopback port, with fault modes chosen by the video id, for the demo and the tests.

#include "membersonly.h"
#include "playerpages.h"
#include "routes.h"
#include "streams.h"
#include "versionedbody.h"
#include "webroutes.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int) {
    stopSignal = 1;
}

void PrintUsage() {
    std::printf(
        "Usage: videosvc [--port N] [--media FOLDER] [--latency MS] [--members-cookie NAME=VALUE] "
        "[--verbose]\n"
        "Serves on 127.0.0.1 (port 0: any free port); the first line printed is the port.\n"
        "--latency waits MS milliseconds before each answer, as a distant server would.\n"
        "--members-cookie answers 403 to every request without that cookie, as a site for\n"
        "  signed-in visitors does; /cookies-seen lists the Cookie headers sent to the service\n"
        "  /watch?v=<id>                      the watch page of <id>\n"
        "  /get_video?video_id=<id>&t=<token>[&fmt=6|18]  the stream (fmt 18: <id>.mp4, else <id>.flv)\n"
        "  /bytes[/NAME]?n=N[&chunked=1][&cut=K][&stall=K][&rate=B]  N bytes of a fixed pattern; Range "
        "honoured\n"
        "      [&cutfirst=K]                  a request without Range is cut after K bytes (with key: once)\n"
        "      [&range=ignore]                a Range request gets 200 and the whole body\n"
        "      [&etag=change]                 a Range request meets ETag \"v2\" and changed bytes\n"
        "      [&fail=C&key=K[&times=T][&after=S[&date=1]]]  the first T requests with key K get C\n"
        "  /status?code=C                     an error answer\n"
        "  /redirect?hops=K&to=ADDRESS        K redirects, then to ADDRESS\n"
        "  /busiest[?reset=1]                 the most /bytes bodies sent at once, in all and by site\n"
        "Media folder: <id>.flv, <id>.mp4, optional <id>.title (UTF-8 page title) and\n"
        "<id>.html (served as the watch page as stored). Fault ids (streams use 'sample'):\n%s"
        "Pages of other kinds (media laid out by make-web-media):\n%s%s"
        "A body that changes while the service runs, for continued downloads:\n%s",
        VideoService::FaultModeList(), VideoService::WebRouteList(), VideoService::PlayerRouteList(),
        VideoService::VersionedRouteList());
}

} // namespace

int main(int argc, char** argv) {
    VideoService::Library library;
    library.mediaFolder = ".";
    bool verbose = false;
    int latencyMs = 0;
    std::string membersCookie;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--port" && i + 1 < argc) {
            library.port = std::atoi(argv[++i]);
        } else if (argument == "--media" && i + 1 < argc) {
            library.mediaFolder = argv[++i];
        } else if (argument == "--latency" && i + 1 < argc) {
            latencyMs = std::clamp(std::atoi(argv[++i]), 0, 10000);
        } else if (argument == "--members-cookie" && i + 1 < argc) {
            membersCookie = argv[++i];
        } else if (argument == "--verbose") {
            verbose = true;
        } else {
            PrintUsage();
            return argument == "--help" || argument == "-h" ? 0 : 2;
        }
    }

    httplib::Server server;
    // As web servers send their answers (nginx does by default): no wait for an acknowledgement
    // before the last small piece of an answer on a kept-alive connection.
    server.set_tcp_nodelay(true);
    // Stalled and slow answers each hold a thread; the tests run several side by side.
    server.new_task_queue = [] {
        return new httplib::ThreadPool(32);
    };
    if (verbose)
        server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
            std::fprintf(stderr, "%s %s -> %d\n", request.method.c_str(), request.target.c_str(),
                         response.status);
        });
    const VideoService::MembersOnly members(membersCookie);
    server.set_pre_routing_handler(
        [latencyMs, &members](const httplib::Request& request, httplib::Response& response) {
            if (latencyMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
            return members.Refuses(request, response) ? httplib::Server::HandlerResponse::Handled
                                                      : httplib::Server::HandlerResponse::Unhandled;
        });
    members.InstallRoutes(server);
    VideoService::InstallRoutes(server, library);
    VideoService::InstallWebRoutes(server, library);
    VideoService::InstallPlayerRoutes(server, library);
    VideoService::InstallVersionedRoutes(server);

    // Loopback only: the service is for this machine.
    const char* host = "127.0.0.1";
    if (library.port == 0) {
        library.port = server.bind_to_any_port(host);
    } else if (!server.bind_to_port(host, library.port)) {
        library.port = -1;
    }
    if (library.port <= 0) {
        std::fprintf(stderr, "videosvc: cannot listen on %s\n", host);
        return 1;
    }
    std::printf("%d\n", library.port);
    std::fflush(stdout);

    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGPIPE, SIG_IGN);
    // Stops on a signal, or when the process that started the service has gone.
    const pid_t parent = getppid();
    std::thread watcher([&server, parent] {
        while (stopSignal == 0 && getppid() == parent && !VideoService::stopping)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        VideoService::stopping = true;
        server.stop();
    });
    server.listen_after_bind();
    VideoService::stopping = true;
    watcher.join();
    return 0;
}
