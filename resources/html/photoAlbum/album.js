// What the two class-album pages share: the account's queries against the
// platform (through `global`, which the app puts into the page), the photo
// grid, one album's photos as the page's second level, and the calls into the
// app, which are navigations of this document to the app's own paths.
var Album = (function () {
    'use strict';

    var firstLevel = null;
    var secondLevel = null;
    var firstScroll = 0;
    var shownAlbum = 0;

    function account() {
        if (typeof global === 'undefined' || !global.ctx)
            return null;
        return {
            schoolId: global.schoolId,
            userId: global.userId,
            accountType: global.accountType,
            areaAbb: global.areaAbb
        };
    }

    function query(values) {
        return Object.keys(values).map(function (key) {
            return encodeURIComponent(key) + '=' + encodeURIComponent(values[key]);
        }).join('&');
    }

    // One query of the album service; resolves with the reply when it says 1.
    // Every failure is told in the words the app's other screens use: the
    // browser's own ("Load failed", a JSON syntax error) mean nothing to the
    // person.
    function load(path, values) {
        var who = account();
        if (!who)
            return Promise.reject(new Error('用户信息出错，请重新登录'));
        for (var key in values)
            who[key] = values[key];
        return fetch(global.ctx + 'pull/webapp/photoAlbum/' + path + '?' + query(who))
            .then(function (response) {
                return response.json().catch(function () { throw new Error('数据解析错误'); });
            }, function () {
                throw new Error('服务连接出错，请重试');
            })
            .then(function (reply) {
                if (!reply || reply.resultState !== 1)
                    throw new Error((reply && typeof reply.resultMsg === 'string' && reply.resultMsg) || '数据错误');
                // Every page lists the reply's items.
                if (!Array.isArray(reply.items))
                    throw new Error('数据错误');
                return reply;
            });
    }

    function element(tag, className, text) {
        var node = document.createElement(tag);
        if (className)
            node.className = className;
        if (text !== undefined && text !== null)
            node.textContent = String(text);
        return node;
    }

    function day(text) {
        return typeof text === 'string' ? text.substring(0, 10) : '';
    }

    // ---- calls into the app ----------------------------------------------------------------

    function callApp(path) {
        window.location.href = path;
    }

    // The address goes escaped as one part, as the album's name does: the app
    // reads the path decoded once, and nothing in the address (a space, "#",
    // "?", "%", "/" or "..") is taken for part of this page's own address.
    function openPhoto(address) {
        callApp('/browseBigPhoto/url:' + encodeURIComponent(address));
    }

    function close() {
        callApp('/Main/return');
    }

    // ---- what the pages show ---------------------------------------------------------------

    function status(container, text, mark, retry) {
        container.textContent = '';
        var box = element('div', 'status' + (retry ? ' failed' : ''));
        if (mark)
            box.appendChild(element('span', 'mark', mark));
        box.appendChild(element('div', 'text', text));
        if (retry) {
            var button = element('button', '', '重新加载');
            button.addEventListener('click', retry);
            box.appendChild(button);
        }
        container.appendChild(box);
    }

    function photoGrid(photos) {
        var grid = element('div', 'photos');
        photos.forEach(function (photo) {
            if (!photo || typeof photo.url !== 'string')
                return;
            var cell = element('a', 'photo');
            cell.href = '#';
            var image = element('img');
            image.src = photo.url;
            image.alt = photo.albumName || '';
            cell.appendChild(image);
            cell.addEventListener('click', function (event) {
                event.preventDefault();
                openPhoto(photo.url);
            });
            grid.appendChild(cell);
        });
        return grid;
    }

    // The second level: one album's photos. The app learns of it (and shows
    // the album's name as its title) through the gotoSecondView path.
    function showAlbum(albumId, albumName) {
        if (!firstLevel || !secondLevel)
            return;
        shownAlbum = albumId;
        firstScroll = window.scrollY;
        firstLevel.hidden = true;
        secondLevel.hidden = false;
        window.scrollTo(0, 0);
        status(secondLevel, '正在加载照片...', '…');
        // The bar is written escaped: the app reads the path decoded.
        callApp('/photoAlbum/gotoSecondView' + encodeURIComponent('|' + albumName));
        load('photos', { albumId: albumId, page: 1, pageSize: 200 }).then(function (reply) {
            if (shownAlbum !== albumId)
                return;
            secondLevel.textContent = '';
            var album = reply.album || {};
            var head = element('div', 'album-head');
            head.appendChild(element('div', 'title', album.albumName || albumName));
            head.appendChild(element('div', 'meta', (album.belongs || '') + ' · 共' + (reply.total || 0) + '张 · 创建于' + day(album.created)));
            if (album.description)
                head.appendChild(element('div', 'description', album.description));
            secondLevel.appendChild(head);
            if (!reply.items.length)
                status(secondLevel.appendChild(element('div')), '相册里还没有照片', '+');
            else
                secondLevel.appendChild(photoGrid(reply.items));
        }).catch(function (error) {
            if (shownAlbum === albumId)
                status(secondLevel, '照片加载失败：' + error.message, '!', function () { showAlbum(albumId, albumName); });
        });
    }

    function backToFirstLevel() {
        shownAlbum = 0;
        if (!firstLevel || !secondLevel)
            return;
        secondLevel.hidden = true;
        secondLevel.textContent = '';
        firstLevel.hidden = false;
        window.scrollTo(0, firstScroll);
    }

    function levels(first, second) {
        firstLevel = first;
        secondLevel = second;
    }

    return {
        load: load,
        element: element,
        status: status,
        photoGrid: photoGrid,
        showAlbum: showAlbum,
        backToFirstLevel: backToFirstLevel,
        levels: levels,
        close: close,
        day: day
    };
})();

// The app's back button on the second level.
function goBackToFirstView() {
    Album.backToFirstLevel();
}
