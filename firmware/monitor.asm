; The board's resident monitor: the ROM at 0000h-1FFFh.
;
; It talks over the UART (status/control port 80h, data port 81h) at
; 9600 8N2 and never echoes a command, so a record's digits come back only
; as its verdict. Commands, each a single character:
;
;   @            the banner, ending in the prompt "$$$ "
;   :LLAAAATT..CC  an Intel HEX record; "*" stored, "E" checksum wrong (or
;                the line lost bytes), "?" malformed; nothing is stored
;                before the whole record is in and checked
;   !            end of an upload: taken without an answer
;   ;            answers ">"; then NNAAAA (hex) answers "=", the NN bytes at
;                AAAA as hex digits, the checksum of a data record holding
;                them, CR LF
;   B            the line store (not a BASIC interpreter: see its HELP)
;   GAAAA        calls AAAA; a program returns with RET
;   H            the list of commands
;
; RST 08h prints the character in A and keeps every register, flags
; included, so a loaded program can print.
;
; RAM 2000h-3FFFh is the monitor's own (variables, the record buffer, the
; line store and the stack); 4000h-FFFFh is free for programs.

uartctl:    equ 80h             ; control (write) and status (read)
uartdata:   equ 81h
rxfull:     equ 01h             ; status: a byte is in the receive register
txempty:    equ 02h             ; status: the transmitter takes a byte
overrun:    equ 20h             ; status: a byte was lost before this one

lineerr:    equ 2000h           ; nonzero once an overrun was seen
reclen:     equ 2001h           ; the record's length field
recbase:    equ 2002h           ; segment base from a type 02 record (word)
storeend:   equ 2004h           ; end of the stored lines (word)
recbuf:     equ 2100h           ; a record's bytes, length through checksum
linebuf:    equ 2300h           ; the line being typed, NUL-terminated
linemax:    equ 80              ; characters kept of a typed line
store:      equ 2400h           ; stored lines, each ended by CR
storelimit: equ 3f00h           ; first byte past the line store
stacktop:   equ 4000h
; Wait for a record's next byte for about 1.8 s: 4 x 65536 turns of 52 cycles.
waitturns:  equ 4

            org 0000h
reset:      di
            ld sp,stacktop
            jp start

            defs 0008h - $      ; (the assembler pads a gap only with defs)
print:      jp putc             ; RST 08h

            defs 0040h - $
start:      ld a,03h            ; master reset of the UART
            out (uartctl),a
            ld a,11h            ; clock / 16, 8 data bits, 2 stop bits, no interrupts
            out (uartctl),a
            xor a
            ld (lineerr),a
            ld hl,0
            ld (recbase),hl
            ld hl,store
            ld (storeend),hl

; The command loop: the board powers up silent, until the host wakes it.
; An overrun flagged with a command's first byte lost one after it, so the
; flag is cleared here and looked at by the command.
command:    ld sp,stacktop
            xor a
            ld (lineerr),a
            call getc
            cp '@'
            jr z,wake
            cp ':'
            jp z,record
            cp ';'
            jp z,dump
            cp 'B'
            jp z,lines
            cp 'G'
            jp z,go
            cp 'H'
            jr z,help
            jr command          ; "!" and anything unknown: no answer

wake:       ld hl,msgbanner
            call puts
            jr command

help:       ld hl,msghelp
            call puts
            jr command

; ---- Serial line ----

; putc: sends A once the transmitter is empty; keeps every register.
putc:       push af
putc1:      in a,(uartctl)
            and txempty
            jr z,putc1
            pop af
            out (uartdata),a
            ret

; puts: sends the NUL-terminated text at HL; HL ends past the NUL.
puts:       ld a,(hl)
            inc hl
            or a
            ret z
            rst 08h
            jr puts

crlf:       ld a,0dh
            rst 08h
            ld a,0ah
            rst 08h
            ret

; getc: waits for a byte and returns it in A (flags changed); an overrun
; seen on the way is kept in lineerr.
getc:       in a,(uartctl)
            bit 0,a
            jr z,getc
            and overrun
            jr z,getc1
            ld (lineerr),a
getc1:      in a,(uartdata)
            ret

; getct: as getc, with carry clear; carry set when no byte came for about
; 1.8 s. Keeps BC, DE, HL.
getct:      push bc
            push de
            ld b,waitturns
            ld de,0
getct1:     in a,(uartctl)
            bit 0,a
            jr nz,getct2
            dec de
            ld a,d
            or e
            jr nz,getct1
            djnz getct1
            pop de
            pop bc
            scf
            ret
getct2:     pop de
            pop bc
            call getc
            or a                ; clears carry
            ret

; hexval: the value 0-15 of the hex digit in A (either case), carry clear;
; carry set when A is no hex digit.
hexval:     cp '0'
            jr c,nothex
            cp '9'+1
            jr c,digit
            and 0dfh
            cp 'A'
            jr c,nothex
            cp 'F'+1
            jr nc,nothex
            sub 'A'-10
            ret
digit:      sub '0'
            ret
nothex:     scf
            ret

; gethex: two hex digits as a byte in A, carry clear. Carry set with A = 1
; when the line fell quiet, A = 2 after a character that is no hex digit.
; Changes D.
gethex:     call getct
            jr c,gethexq
            call hexval
            jr c,gethexbad
            add a,a
            add a,a
            add a,a
            add a,a
            ld d,a
            call getct
            jr c,gethexq
            call hexval
            jr c,gethexbad
            or d
            ret
gethexq:    ld a,1
            scf
            ret
gethexbad:  ld a,2
            scf
            ret

; puthex: sends A as two upper-case hex digits. Keeps BC, DE, HL.
puthex:     push af
            rrca
            rrca
            rrca
            rrca
            call putnib
            pop af
putnib:     and 0fh
            add a,'0'
            cp '9'+1
            jr c,putnib1
            add a,7
putnib1:    rst 08h
            ret

; ---- Records ----

; The record is read whole into recbuf, summed as it comes (each byte well
; within the character time the next one takes), and only stored once
; its checksum is right.
record:     ld hl,recbuf
            ld c,0              ; the sum
            ld b,1
            call recbytes       ; the length
            jr c,recfail
            ld a,(recbuf)
            ld (reclen),a
            ld b,3
            call recbytes       ; the address and the type
            jr c,recfail
            ld a,(reclen)
            inc a               ; the data and the checksum: 1..256 (0 counts 256)
            ld b,a
            call recbytes
            jr c,recfail
            ld a,(lineerr)
            or a
            jr nz,recerr
            ld a,c
            or a
            jr nz,recerr
            ld a,(recbuf+3)     ; the type
            or a
            jr z,recdata
            cp 2
            jr z,recsegment
            cp 4
            jr z,reclinear
            cp 6
            jr c,recok          ; 01 end, 03 and 05 start addresses: nothing to store
recbad:     ld a,'?'
            jr verdict
recerr:     ld a,'E'
            jr verdict
recok:      ld a,'*'
verdict:    rst 08h
            jp command

; A record that broke off: after an overrun it is faulty ("E"); a character
; that is no hex digit makes it malformed ("?"); one that fell quiet without
; either is dropped unanswered.
recfail:    ld b,a
            ld a,(lineerr)
            or a
            jr nz,recerr
            ld a,b
            cp 2
            jr z,recbad
            jp command

; recbytes: B bytes (0 counts 256) as hex digit pairs into (HL) on, added
; to C. Carry set on failure, with A as gethex leaves it.
recbytes:   call gethex
            ret c
            ld (hl),a
            inc hl
            add a,c
            ld c,a
            djnz recbytes
            or a
            ret

; Type 02: the segment base is its value times 16 (kept to 16 bits).
recsegment: call recbase2
            ld b,4
recshift:   add hl,hl
            djnz recshift
            ld (recbase),hl
            jr recok
; Type 04: a linear base is a multiple of 64 KiB, so it moves nothing here.
reclinear:  call recbase2
            ld hl,0
            ld (recbase),hl
            jr recok
; recbase2: HL = the two data bytes of an address record; refuses (does not
; return) one whose length is not 2.
recbase2:   ld a,(reclen)
            cp 2
            jr nz,recbase2x
            ld a,(recbuf+4)
            ld h,a
            ld a,(recbuf+5)
            ld l,a
            ret
recbase2x:  pop hl
            jr recbad

; Type 00: the data go to the record's address plus the segment base;
; writes into the ROM change nothing. A record reaching into the monitor's
; own RAM (2000h-3FFFh) is refused.
recdata:    ld a,(recbuf+1)
            ld d,a
            ld a,(recbuf+2)
            ld e,a
            ld hl,(recbase)
            add hl,de
            ex de,hl            ; DE = where the data go
            ld a,(reclen)
            or a
            jr z,recok
            ld c,a
            ld b,0
            ld a,d
            call ownram
            jr z,recbad
            ld h,d
            ld l,e
            add hl,bc
            dec hl              ; HL = the last byte's address
            ld a,h
            call ownram
            jr z,recbad
            ld hl,recbuf+4
            ldir
            jr recok

; ownram: Z when A, the high byte of an address, lies in 20h-3Fh.
ownram:     and 0e0h
            cp 20h
            ret

; ---- Memory dump ----

dump:       ld a,'>'
            rst 08h
            call gethex         ; the count
            jr c,dumpbad
            ld b,a
            ld c,a              ; the sum
            call gethex         ; the address
            jr c,dumpbad
            ld h,a
            add a,c
            ld c,a
            call gethex
            jr c,dumpbad
            ld l,a
            add a,c
            ld c,a
            ld a,'='
            rst 08h
            ld a,b
            or a
            jr z,dumpsum
dumpbyte:   ld a,(hl)
            inc hl
            ld e,a
            add a,c
            ld c,a
            ld a,e
            call puthex
            djnz dumpbyte
dumpsum:    xor a
            sub c
            call puthex
            call crlf
            jp command
dumpbad:    ld a,'?'
            rst 08h
            jp command

; ---- Go ----

go:         call gethex
            jr c,gobad
            ld h,a
            call gethex
            jr c,gobad
            ld l,a
            ld de,goback
            push de
            jp (hl)
goback:     ld sp,stacktop
            call crlf
            ld hl,msgprompt
            call puts
            jp command
gobad:      ld a,'?'
            rst 08h
            jp command

; ---- Line store ----

            include "line_store.asm"

; ---- Texts ----

; (A line of text must start its byte definition: the assembler reads a
; quote after a number as a character constant.)
msgbanner:  defb 13, 10
            defb "Z80 ROM monitor", 13, 10
msgprompt:  defb "$$$ ", 0
msghelp:    defb 13, 10
            defb "@ banner  :record  ; then NNAAAA dump  B line store", 13, 10
            defb "GAAAA call AAAA (RET comes back)  ! end of upload", 13, 10
            defb "RST 08h prints A", 13, 10
            defb "$$$ ", 0
msglines:   defb 13, 10
            defb "Line store, no BASIC (HELP)", 13, 10
            defb "Memory top? ", 0
msgok:      defb 13, 10
            defb "Ok", 13, 10, 0
msgfull:    defb "Store full, line not kept", 13, 10, 0
msglinehelp: defb "This is a line store, not a BASIC interpreter: it keeps", 13, 10
            defb "each line typed and runs nothing. LIST shows the lines,", 13, 10
            defb "NEW forgets them, BYE goes back to the monitor.", 13, 10, 0
wordlist:   defb "LIST", 0
wordnew:    defb "NEW", 0
wordhelp:   defb "HELP", 0
wordbye:    defb "BYE", 0
