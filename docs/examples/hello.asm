; hello.asm - the tutorial's program: a greeting, then every typed character echoed, until
; Escape ends it.
        .include "tarquil.inc"

start:  MOV.32  #stack, sp              ; the stack: free memory behind the program

        ; Write the greeting cell by cell: column in r8, row in r12.
        MOV.32  #greeting, r24          ; r24 points at the next character
        MOV.32  #0, [column]
.next:  MOV.8   [[r24]], [char]         ; the character r24 points at
        JZ.8    .shown, [char]          ; the zero byte ends the text
        CALL    put
        INC.U32 r24
        JMP     .next
.shown: CALL    refresh
        MOV.32  #0, [column]
        MOV.32  #2, [row]

main:   GETEVENT                        ; take the next event, if any
        JNZ.8   .event, r0
        WAIT                            ; none: sleep until one comes
        JMP     main
.event: EQ.8    r0, #EVENT_KEYBOARD, r28
        JZ.8    main, r28
        EQ.8    r1, #KIND_CHAR, r28
        JZ.8    main, r28
        EQ.32   r4, #27, r28            ; Escape
        JNZ.8   done, r28
        MOV.8   r4, [char]
        CALL    put
        CALL    refresh
        JMP     main

done:   MOV.16  #GROUP_SYSTEM | SYSTEM_MESSAGE << 8, r0
        MOV.8   #bye_end - bye, r2      ; the length of the message
        MOV.32  #bye, r4                ; its address
        SYS
.idle:  GETEVENT                        ; drop whatever still comes in
        WAIT
        JMP     .idle

; put: the character in `char` at (column, row), then one column to the right.
put:    MOV.16  #GROUP_SCREEN | SCREEN_PUT_CELL << 8, r0
        MOV.8   [char], r2
        MOV.8   #0, r3                  ; no underline
        MOV.32  [column], r8
        MOV.32  [row], r12
        MOV.32  #COLOR_YELLOW, r16
        MOV.32  #COLOR_BLACK, r20
        SYS
        INC.U32 [column]
        RET

refresh:
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS
        RET

greeting: .asciz "Hello, Tarquil! Type something (Esc ends):"
bye:      .ascii "Goodbye"
bye_end:
char:     .byte 0
column:   .dword 0
row:      .dword 0
stack:
