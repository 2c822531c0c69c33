/* What every tool page shares: the account the application put in the page
   ("global"), fetching from the platform, calls into the application (plain
   navigations to fixed paths), the two levels of a page, and the loading,
   empty and failed states. No outside libraries. */
(function () {
    'use strict';

    var App = {};

    App.account = function () {
        return typeof global === 'undefined' ? null : global;
    };
    App.isTeacher = function () {
        var a = App.account();
        return !!a && a.accountType === 1;
    };

    // The application answers these paths itself; the page stays as it is.
    App.callNative = function (path) {
        window.location.href = path;
    };
    App.close = function () {
        App.callNative('/Main/return');
    };

    App.byId = function (id) {
        return document.getElementById(id);
    };

    App.escape = function (text) {
        return String(text === undefined || text === null ? '' : text)
            .replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
            .replace(/"/g, '&quot;').replace(/'/g, '&#39;');
    };

    // GET <ctx>pull/<path> with the account's ids; done(reply) when the
    // platform says yes, fail(message) otherwise.
    App.get = function (path, params, done, fail) {
        var account = App.account();
        if (!account) {
            fail('请先登录');
            return;
        }
        var query = ['userId=' + encodeURIComponent(account.userId), 'schoolId=' + encodeURIComponent(account.schoolId)];
        Object.keys(params || {}).forEach(function (key) {
            if (params[key] !== undefined && params[key] !== null && params[key] !== '')
                query.push(encodeURIComponent(key) + '=' + encodeURIComponent(params[key]));
        });
        var xhr = new XMLHttpRequest();
        xhr.open('GET', account.ctx + 'pull/' + path + '?' + query.join('&'));
        xhr.withCredentials = true;
        xhr.timeout = 20000;
        xhr.onload = function () {
            var reply = null;
            try {
                reply = JSON.parse(xhr.responseText);
            } catch (e) {
                reply = null;
            }
            if (xhr.status !== 200 || !reply) {
                fail('数据加载失败，请稍后重试');
            } else if (reply.resultState !== 1) {
                fail(reply.resultMsg || '数据加载失败');
            } else {
                done(reply);
            }
        };
        xhr.onerror = xhr.ontimeout = function () {
            fail('网络连接失败，请检查网络');
        };
        xhr.send();
    };

    // "2026-12-07 09:30:00" → "今天 09:30", "昨天 09:30", "12月5日 09:30" or "2025年12月5日".
    App.when = function (text) {
        var m = /^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2}))?/.exec(text || '');
        if (!m)
            return App.escape(text || '');
        var time = m[4] ? ' ' + m[4] + ':' + m[5] : '';
        var day = new Date(+m[1], +m[2] - 1, +m[3]);
        var today = new Date();
        today.setHours(0, 0, 0, 0);
        var days = Math.round((today - day) / 86400000);
        if (days === 0)
            return '今天' + time;
        if (days === 1)
            return '昨天' + time;
        if (+m[1] !== today.getFullYear())
            return m[1] + '年' + (+m[2]) + '月' + (+m[3]) + '日';
        return (+m[2]) + '月' + (+m[3]) + '日' + time;
    };
    App.dateOnly = function (date) {
        function two(n) { return (n < 10 ? '0' : '') + n; }
        return date.getFullYear() + '-' + two(date.getMonth() + 1) + '-' + two(date.getDate());
    };
    // "2026-12-09" → "12月9日".
    App.monthDay = function (text) {
        var m = /^(\d{4})-(\d{2})-(\d{2})/.exec(text || '');
        return m ? (+m[2]) + '月' + (+m[3]) + '日' : App.escape(text || '');
    };
    App.weekday = function (text) {
        var m = /^(\d{4})-(\d{2})-(\d{2})/.exec(text || '');
        if (!m)
            return '';
        return '周' + '日一二三四五六'.charAt(new Date(+m[1], +m[2] - 1, +m[3]).getDay());
    };

    // The loading, empty and failed states inside a container. Failed states
    // offer another try and the way back.
    App.showLoading = function (box, text) {
        box.innerHTML = '<div class="notice-state loading"><div class="icon"></div>' + App.escape(text || '正在加载...') + '</div>';
    };
    App.showEmpty = function (box, text) {
        box.innerHTML = '<div class="notice-state empty"><div class="icon">i</div>' + App.escape(text) + '</div>';
    };
    App.showFailed = function (box, text, retry) {
        box.innerHTML = '<div class="notice-state failed"><div class="icon">!</div><div class="message">' + App.escape(text)
            + '</div><div class="actions"><a class="btn" id="btnBack" href="/Main/return">返回</a>'
            + '<a class="btn primary" id="btnRetry" href="javascript:void(0)">重试</a></div></div>';
        App.byId('btnRetry').addEventListener('click', function (event) {
            event.preventDefault();
            retry();
        });
    };

    // Two levels: the first shows a list, the second one entry. The
    // application is told when the second shows, and its back button calls
    // goBackToFirstView() (which each two-level page defines with App.levels).
    App.levels = function (secondPath, onFirst) {
        var levels = {
            showSecond: function () {
                App.byId('first').classList.remove('shown');
                App.byId('second').classList.add('shown');
                window.scrollTo(0, 0);
                App.callNative(secondPath);
            },
            showFirst: function () {
                App.byId('second').classList.remove('shown');
                App.byId('first').classList.add('shown');
                if (onFirst)
                    onFirst();
            }
        };
        window.goBackToFirstView = levels.showFirst;
        return levels;
    };

    // Handlers for clicks on rows carrying data-* fields.
    App.onRow = function (box, selector, handler) {
        box.addEventListener('click', function (event) {
            var row = event.target.closest(selector);
            if (row && box.contains(row)) {
                event.preventDefault();
                handler(row, event);
            }
        });
    };

    // A row of class chips over a list, "全部" first, shown when there are
    // two classes or more; `changed` runs when another chip is chosen, and
    // keeps(item) tells whether an entry belongs to the chosen class.
    App.classChips = function (box, changed) {
        var chosen = '';
        App.onRow(box, 'a[data-class]', function (chip) {
            chosen = chip.getAttribute('data-class');
            Array.prototype.forEach.call(box.children, function (c) { c.classList.toggle('on', c === chip); });
            changed();
        });
        return {
            show: function (classes) {
                if (classes.length < 2) {
                    box.style.display = 'none';
                    return;
                }
                box.innerHTML = [{ classId: '', className: '全部' }].concat(classes).map(function (c) {
                    return '<a class="chip' + (String(c.classId) === chosen ? ' on' : '') + '" data-class="' + c.classId + '">'
                        + App.escape(c.className) + '</a>';
                }).join('');
            },
            keeps: function (item) { return !chosen || String(item.classId) === chosen; }
        };
    };

    window.App = App;
})();
