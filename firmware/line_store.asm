; The monitor's line store, the "B" command: included by monitor.asm.

; ---- Line store ----

; Asks for a memory top (the answer is taken up to its CR and not used),
; then keeps every line typed: each character from 20h to 7Fh is echoed,
; control characters and bytes from 80h up are not, a CR ends the line and
; stores it. LIST, NEW, HELP and BYE are its commands.
lines:      ld hl,msglines
            call puts
linestop:   call getc
            cp 0dh
            jr nz,linestop
            ld hl,msgok
            call puts
lineempty:  ld hl,linebuf
            ld b,0              ; characters kept
linechar:   call getc
            cp 0dh
            jr z,lineend
            cp 20h
            jr c,linechar
            cp 80h
            jr nc,linechar
            rst 08h
            ld c,a
            ld a,b
            cp linemax
            jr nc,linechar      ; echoed but not kept
            ld (hl),c
            inc hl
            inc b
            jr linechar
lineend:    ld (hl),0
            call crlf
            ld a,b
            or a
            jr z,lineempty
            ld de,wordlist
            call lineis
            jr z,linelist
            ld de,wordnew
            call lineis
            jr z,linenew
            ld de,wordhelp
            call lineis
            jr z,linehelp
            ld de,wordbye
            call lineis
            jp z,command
            ; Room for the line and its CR below storelimit?
            ld c,b
            ld b,0
            ld hl,(storeend)
            add hl,bc
            inc hl
            ex de,hl
            ld hl,storelimit
            or a
            sbc hl,de
            jr c,linefull
            ld hl,linebuf
            ld de,(storeend)
            ldir
            ld a,0dh
            ld (de),a
            inc de
            ld (storeend),de
            jr lineempty
linefull:   ld hl,msgfull
            call puts
            jr lineempty
linenew:    ld hl,store
            ld (storeend),hl
            jr lineok
linehelp:   ld hl,msglinehelp
            call puts
            jr lineok
linelist:   ld hl,store
linelist1:  ld de,(storeend)
            or a
            sbc hl,de
            add hl,de
            jr nc,lineok        ; HL reached the end
            ld a,(hl)
            inc hl
            cp 0dh
            jr z,linelist2
            rst 08h
            jr linelist1
linelist2:  call crlf
            jr linelist1
lineok:     ld hl,msgok+2
            call puts
            jp lineempty

; lineis: Z when the typed line is the NUL-terminated word at DE.
lineis:     ld hl,linebuf
lineis1:    ld a,(de)
            cp (hl)
            ret nz
            or a
            ret z
            inc hl
            inc de
            jr lineis1
