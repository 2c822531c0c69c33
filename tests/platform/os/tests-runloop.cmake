# Run loops, timers, the worker pool, operation queues and the notification centre.
list(APPEND ORB_OS_TEST_SOURCES
    NotificationCenterTest.cpp
    OperationQueueTest.cpp
    RunLoopTest.cpp
    TimerTest.cpp
)
