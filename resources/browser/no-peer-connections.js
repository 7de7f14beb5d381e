// A local page, and every frame in one, gets no peer-to-peer connection and no WebTransport. This runs
// as each document is created, except a frame's first, empty document (about:blank, or a srcdoc frame
// before it loads), which its page can reach at once: so each document also clears every frame it can
// reach, right after anything that can make or reach one, and whenever its tree changes. A frame is
// cleared from here, without running code in it: its page may forbid that.
(function () {
    'use strict';
    // Local: a file: page, or a frame with a file: or opaque ("null") origin above it or of its own.
    var origins = [self.origin];
    try {
        origins = origins.concat(Array.prototype.slice.call(location.ancestorOrigins));
    } catch (e) {}
    if (location.protocol !== 'file:' && origins.indexOf('null') < 0 && origins.indexOf('file://') < 0)
        return;
    var names = ['RTCPeerConnection', 'webkitRTCPeerConnection', 'RTCDataChannel', 'RTCIceTransport',
        'RTCDtlsTransport', 'RTCSctpTransport', 'RTCRtpSender', 'RTCRtpReceiver', 'RTCRtpTransceiver',
        'RTCCertificate', 'RTCIceCandidate', 'RTCSessionDescription', 'RTCPeerConnectionIceEvent',
        'RTCPeerConnectionIceErrorEvent', 'RTCDataChannelEvent', 'RTCTrackEvent', 'RTCDTMFSender',
        'RTCDTMFToneChangeEvent', 'RTCEncodedAudioFrame', 'RTCEncodedVideoFrame', 'RTCError', 'RTCErrorEvent',
        'RTCStatsReport', 'WebTransport'];
    // Taken before the page's own scripts run: what the page changes later does not count.
    var apply = Reflect.apply, deleteProperty = Reflect.deleteProperty, getOwn = Object.getOwnPropertyDescriptor;
    var defineProperty = Object.defineProperty;
    var frameCount = getOwn(self, 'length').get, windowOf = getOwn(self, 'window').get;
    var topOf = getOwn(self, 'top').get, viewOf = getOwn(Document.prototype, 'defaultView').get;
    var addListener = EventTarget.prototype.addEventListener, Observer = MutationObserver;
    var observe = MutationObserver.prototype.observe, select = DocumentFragment.prototype.querySelectorAll;
    var selectIn = Element.prototype.querySelectorAll;
    var localNameOf = getOwn(Element.prototype, 'localName').get, targetOf = getOwn(Event.prototype, 'target').get;
    var addedOf = getOwn(MutationRecord.prototype, 'addedNodes').get, countOf = getOwn(NodeList.prototype, 'length').get;
    var item = NodeList.prototype.item, removedOf = getOwn(MutationRecord.prototype, 'removedNodes').get;
    var targetOfRecord = getOwn(MutationRecord.prototype, 'target').get, hasAttribute = Element.prototype.hasAttribute;
    var removeNode = Element.prototype.remove;
    var getAttribute = Element.prototype.getAttribute, setAttribute = Element.prototype.setAttribute;
    var split = String.prototype.split, toLower = String.prototype.toLowerCase, join = Array.prototype.join;
    var ownerWindows = {
        __proto__: null,
        iframe: getOwn(HTMLIFrameElement.prototype, 'contentWindow').get,
        frame: getOwn(HTMLFrameElement.prototype, 'contentWindow').get,
        object: getOwn(HTMLObjectElement.prototype, 'contentWindow').get
    };
    var mark = '__keyhavenNoPeerConnections';

    // A window, and every frame in it: a window of this origin not cleared yet is cleared and watched.
    function clear(w) {
        if (!w)
            return;
        var fresh = false;
        try {
            fresh = apply(windowOf, w, []) === w && !getOwn(w, mark);
        } catch (e) {} // not a window, or another origin's: its own copy of this script clears it
        if (fresh) {
            try {
                install(w);
            } catch (e) {}
            for (var i = 0; i < names.length; ++i)
                try {
                    deleteProperty(w, names[i]);
                } catch (e) {}
        }
        var n = 0;
        try {
            n = apply(frameCount, w, []);
        } catch (e) {}
        for (var j = 0; j < n; ++j)
            clear(w[j]);
    }
    function clearAll() { clear(apply(topOf, self, [])); }
    // A srcdoc document would share this origin, and the page could reach it in the moment between its
    // commit and this script: so a srcdoc frame is sandboxed to an origin of its own, and its navigation,
    // not committed yet, starts again.
    function isolateSrcdoc(node) {
        try {
            if (apply(localNameOf, node, []) !== 'iframe' || !apply(hasAttribute, node, ['srcdoc']))
                return;
            var had = apply(hasAttribute, node, ['sandbox']);
            var tokens = had ? apply(split, apply(getAttribute, node, ['sandbox']), [/\s+/]) : ['allow-scripts'];
            var kept = [];
            for (var t = 0; t < tokens.length; ++t)
                if (tokens[t] && apply(toLower, tokens[t], []) !== 'allow-same-origin')
                    kept[kept.length] = tokens[t];
            if (had && kept.length === tokens.length)
                return;
            apply(setAttribute, node, ['sandbox', apply(join, kept, [' '])]);
            apply(setAttribute, node, ['srcdoc', apply(getAttribute, node, ['srcdoc'])]);
        } catch (e) {}
    }
    // A frame's element, or any element with frames below it (frames in a shadow tree are not in window[i]).
    function clearOwner(node) {
        var below = null;
        try {
            isolateSrcdoc(node);
            var get = ownerWindows[apply(localNameOf, node, [])];
            if (get)
                clear(apply(get, node, []));
            below = apply(selectIn, node, ['iframe,frame,object']);
        } catch (e) {
            try {
                below = apply(select, node, ['iframe,frame,object']);
            } catch (e2) {}
        }
        var n = below ? apply(countOf, below, []) : 0;
        for (var m = 0; m < n; ++m)
            clearOwner(apply(item, below, [m]));
    }
    // A shadow root declared in markup is closed to this script: its element goes, frames and all.
    function declaredShadow(record) {
        var removed = apply(removedOf, record, []);
        for (var d = 0, n = apply(countOf, removed, []); d < n; ++d) {
            var node = apply(item, removed, [d]);
            try {
                if (apply(localNameOf, node, []) === 'template' && apply(hasAttribute, node, ['shadowroot']))
                    return true;
            } catch (e) {}
        }
        return false;
    }
    function onMutations(records) {
        for (var r = 0; r < records.length; ++r) {
            isolateSrcdoc(apply(targetOfRecord, records[r], []));
            if (declaredShadow(records[r]))
                try {
                    apply(removeNode, apply(targetOfRecord, records[r], []), []);
                } catch (e) {}
        }
        clearAll();
        for (var r2 = 0; r2 < records.length; ++r2) {
            var added = apply(addedOf, records[r2], []);
            for (var a = 0, n = apply(countOf, added, []); a < n; ++a)
                clearOwner(apply(item, added, [a]));
        }
    }
    // An empty frame loads while it is being inserted; its load event does not leave a shadow tree.
    function onLoad(e) {
        clearAll();
        clearOwner(apply(targetOf, e, []));
    }
    function watch(root) {
        apply(addListener, root, ['load', onLoad, true]);
        var tree = root;
        try {
            if (apply(windowOf, root, []) === root)
                tree = root.document;
        } catch (e) {} // a shadow root
        apply(observe, new Observer(onMutations), [tree, { childList: true, subtree: true, attributes: true }]);
    }

    function hook(proto, name) {
        var d = proto && getOwn(proto, name);
        if (!d)
            return;
        if (typeof d.value === 'function') {
            var f = d.value;
            d.value = function () {
                var r;
                try {
                    r = apply(f, this, arguments);
                    if (name === 'attachShadow')
                        watch(r);
                    return r;
                } finally {
                    isolateSrcdoc(this);
                    clearAll();
                    if (r && name === 'open')
                        clear(r);
                    else if (r && name === 'getSVGDocument')
                        clear(apply(viewOf, r, []));
                }
            };
        }
        if (d.set) {
            var set = d.set;
            d.set = function (v) {
                try {
                    apply(set, this, [v]);
                } finally {
                    isolateSrcdoc(this);
                    clearAll();
                }
            };
        }
        if (d.get && (name === 'contentWindow' || name === 'contentDocument')) {
            var get = d.get;
            d.get = function () {
                clearAll();
                var r = apply(get, this, []);
                clear(name === 'contentWindow' ? r : r && apply(viewOf, r, []));
                return r;
            };
        }
        defineProperty(proto, name, d);
    }
    function install(w) {
        defineProperty(w, mark, { value: true });
        for (var i = 0; i < names.length; ++i)
            deleteProperty(w, names[i]);
        var hooks = [
            [w.Node, ['appendChild', 'insertBefore', 'replaceChild', 'textContent', 'cloneNode', 'normalize']],
            [w.Element, ['append', 'prepend', 'before', 'after', 'replaceWith', 'replaceChildren',
                         'insertAdjacentElement', 'insertAdjacentHTML', 'insertAdjacentText', 'innerHTML',
                         'outerHTML', 'attachShadow', 'setAttribute', 'setAttributeNS', 'toggleAttribute',
                         'setAttributeNode', 'setHTML']],
            [w.HTMLElement, ['innerText', 'outerText', 'click', 'focus']],
            [w.CharacterData, ['before', 'after', 'replaceWith']],
            [w.DocumentType, ['before', 'after', 'replaceWith']],
            [w.Document, ['append', 'prepend', 'replaceChildren', 'write', 'writeln', 'open', 'close', 'execCommand',
                          'importNode', 'adoptNode']],
            [w.DocumentFragment, ['append', 'prepend', 'replaceChildren']],
            [w.ShadowRoot, ['innerHTML']],
            [w.Range, ['insertNode', 'surroundContents', 'createContextualFragment']],
            [w.HTMLIFrameElement, ['contentWindow', 'contentDocument', 'getSVGDocument', 'src', 'srcdoc']],
            [w.HTMLFrameElement, ['contentWindow', 'contentDocument', 'src']],
            [w.HTMLObjectElement, ['contentWindow', 'contentDocument', 'getSVGDocument', 'data']],
            [w.HTMLEmbedElement, ['getSVGDocument', 'src']]
        ];
        for (var h = 0; h < hooks.length; ++h)
            for (var p = 0; p < hooks[h][1].length; ++p)
                hook(hooks[h][0].prototype, hooks[h][1][p]);
        hook(w, 'open');
        var parse = w.DOMParser.prototype.parseFromString;
        defineProperty(w.DOMParser.prototype, 'parseFromString', {
            value: function (text, type) { return apply(parse, this, [text, type]); } // no declared shadow roots
        });
        watch(w);
    }
    if (!getOwn(self, mark))
        install(self);
})();
