/* What the two attendance pages share: the day's states and their counts,
   and one student's records of a month. */
(function () {
    'use strict';
    var Attendance = {};
    Attendance.states = [
        { state: 1, name: '出勤', css: '' },
        { state: 2, name: '迟到', css: 'late' },
        { state: 3, name: '请假', css: '' },
        { state: 4, name: '缺勤', css: 'warn' }
    ];
    Attendance.badge = function (record) {
        return '<span class="state s' + record.state + '">' + App.escape(record.stateName) + '</span>';
    };
    Attendance.summary = function (items) {
        return '<div class="summary">' + Attendance.states.map(function (s) {
            var n = items.filter(function (r) { return r.state === s.state; }).length;
            return '<div class="' + s.css + '"><b>' + n + '</b><span>' + s.name + '</span></div>';
        }).join('') + '</div>';
    };
    Attendance.times = function (record) {
        if (record.state === 3 || record.state === 4)
            return App.escape(record.note || '');
        return '入校 ' + App.escape(record.inTime || '--:--') + '　离校 ' + App.escape(record.outTime || '--:--');
    };
    // One student's month, as a list of school days.
    Attendance.month = function (box, reply, clickable) {
        var items = reply.items || [];
        if (!items.length) {
            App.showEmpty(box, '本月暂无考勤记录');
            return;
        }
        box.innerHTML = Attendance.summary(items) + '<ul class="list">' + items.map(function (r, i) {
            return '<li class="card' + (clickable ? ' go' : '') + '" data-index="' + i + '"><div class="row"><div class="grow">'
                + '<div class="title">' + App.monthDay(r.date) + ' ' + App.weekday(r.date) + '</div>'
                + '<div class="meta"><span>' + Attendance.times(r) + '</span></div></div>'
                + Attendance.badge(r) + '</div></li>';
        }).join('') + '</ul>';
    };
    Attendance.thisMonth = function () {
        return App.dateOnly(new Date()).substr(0, 7);
    };
    Attendance.shiftMonth = function (month, by) {
        var d = new Date(+month.substr(0, 4), +month.substr(5, 2) - 1 + by, 1);
        return App.dateOnly(d).substr(0, 7);
    };
    window.Attendance = Attendance;
})();
