# Run loops, timers, the worker pool, operation queues and the notification centre.
list(APPEND ORB_OS_SOURCES
    NotificationCenter.cpp
    OperationQueue.cpp
    RunLoop.cpp
    Timer.cpp
)
